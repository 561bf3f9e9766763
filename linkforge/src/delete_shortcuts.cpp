#include "codes.h"
#include "ini_file.h"
#include "operations.h"
#include "shortcut_ini.h"
#include "wt/output.h"

namespace linkforge {
namespace {

bool IsDotEntry(const wchar_t* name) {
  return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

// Removes folder when it holds nothing. RemoveDirectoryW itself refuses a
// folder that still holds something, so a failed listing only costs a
// refused call.
void RemoveIfEmpty(const Platform& platform, const std::wstring& folder) {
  WIN32_FIND_DATAW entry;
  wt::Owned find(platform.FindClose, platform.FindFirstFileW((folder + L"\\*").c_str(), &entry));
  if (find) {
    do {
      if (!IsDotEntry(entry.cFileName)) return;
    } while (platform.FindNextFileW(find.get(), &entry));
    find.reset();  // an open listing would keep the folder from going
  }
  platform.RemoveDirectoryW(folder.c_str());
}

// The folder's identity, its volume and file index, whatever path names it
// ("Tools\..", "..\Programs", a short name). False when it cannot be
// opened. Opening for no access with backup semantics is allowed on any
// folder one may list.
bool IdentifyFolder(const Platform& platform, const std::wstring& folder,
                    BY_HANDLE_FILE_INFORMATION* identity) {
  wt::Owned handle(platform.CloseHandle,
                   platform.CreateFileW(
                       folder.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return handle && platform.GetFileInformationByHandle(handle.get(), identity);
}

// False only when both folders were identified and differ: a folder that
// cannot be identified may be the Programs folder, and stays.
bool MayBeProgramsFolder(const Platform& platform, const std::wstring& folder,
                         const std::wstring& programs) {
  BY_HANDLE_FILE_INFORMATION a, b;
  if (!IdentifyFolder(platform, folder, &a) || !IdentifyFolder(platform, programs, &b)) return true;
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

// False when path is known to be absent. PathFileExistsW answers FALSE also
// when the check itself failed; a check that was denied or ran out of memory
// proves nothing, and the deletion then decides.
bool PossiblyThere(const Platform& platform, const std::wstring& path) {
  SetLastError(ERROR_SUCCESS);
  if (platform.PathFileExistsW(path.c_str())) return true;
  switch (GetLastError()) {
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return true;
    default:
      return false;
  }
}

// Deletes programs\folder\name.lnk: kOk, kNotFound or kDeleteFailed. The
// folder and name are used as given, ".." parts included: the command line
// and the INI file are the caller's, and RemoveDirectoryW takes only an
// empty folder. The folder goes with its last entry; its parents stay, and so does the
// Programs folder itself, however folder names it.
int DeleteFromLocation(const Platform& platform, const std::wstring& programs,
                       const std::wstring& folder, const std::wstring& name) {
  const std::wstring folderPath = programs + L"\\" + folder;
  const std::wstring path = folderPath + L"\\" + name + L".lnk";
  // linkforge never makes a longer path, and the platform's check could not
  // see it either.
  if (path.size() > detail::kMaxPathChars) return kNotFound;
  if (!PossiblyThere(platform, path)) return kNotFound;
  if (!platform.DeleteFileW(path.c_str())) return kDeleteFailed;
  if (!MayBeProgramsFolder(platform, folderPath, programs)) RemoveIfEmpty(platform, folderPath);
  return kOk;
}

void PrintDeletion(const Platform& platform, int code, const std::wstring& programs,
                   const std::wstring& folder, const std::wstring& name) {
  platform.Write(wt::FormatW(L"DeleteAShortcut retruned %d while removing %ls\\%ls\\%ls.\n", code,
                             programs.c_str(), folder.c_str(), name.c_str()));
}

}  // namespace

int DeleteShortcut(const Platform& platform, const std::wstring& folderPath,
                   const std::wstring& name) {
  int codes[2];
  for (int location = 0; location < 2; ++location) {
    std::wstring programs;
    // A location whose Programs folder cannot be located was not tried: it
    // gets no line of its own, only its code in the summary.
    if (!detail::LocateProgramsFolder(platform, location == 1, &programs)) {
      codes[location] = kPlatformFailed;
      continue;
    }
    codes[location] = DeleteFromLocation(platform, programs, folderPath, name);
    PrintDeletion(platform, codes[location], programs, folderPath, name);
  }
  // The greater code wins (found and deleted in one location is success),
  // except that a shortcut left behind undeletable fails the run.
  int result = codes[0] > codes[1] ? codes[0] : codes[1];
  if (codes[0] == kDeleteFailed || codes[1] == kDeleteFailed) result = kDeleteFailed;
  platform.Write(wt::FormatW(
      L"linkforge:DeleteShortcut() returning with exit code %d. Internal exit codes 0:%d, 1:%d\n",
      result, codes[0], codes[1]));
  return result;
}

int DeleteAllShortcuts(const Platform& platform, const std::wstring& iniPath) {
  IniText ini(platform);
  const int loaded = LoadIniText(platform, iniPath, &ini);
  if (loaded != kOk) return loaded;
  std::wstring programs;
  if (!detail::LocateProgramsFolder(platform, ReadForAllUsers(ini.text), &programs)) {
    return kPlatformFailed;
  }
  std::wstring folder;
  size_t at = kNoPosition;
  const int folderCode = ReadFolderStructure(ini.text, &folder, &at);
  if (folderCode != kOk) return folderCode;

  // parentFolderOverride is not read: every shortcut is looked for below the
  // Programs folder. One that could not be deleted fails the run even when
  // later ones were deleted.
  bool failed = false;
  for (;;) {
    const ShortcutSection section = ReadShortcut(ini.text, at, true);
    if (section.code != kOk) return section.code;
    const std::wstring& name = section.entry.displayName;
    const int code = DeleteFromLocation(platform, programs, folder, name);
    PrintDeletion(platform, code, programs, folder, name);
    if (code == kDeleteFailed) failed = true;
    if (section.next == kNoPosition) return failed ? kDeleteFailed : code;
    at = section.next;
  }
}

}  // namespace linkforge
