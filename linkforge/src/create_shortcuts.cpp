#include <objbase.h>
#include <shlobj.h>

#include "codes.h"
#include "ini_file.h"
#include "operations.h"
#include "shortcut_ini.h"

namespace linkforge {
namespace {

// CoInitialize and its CoUninitialize, paired on every path. Declared before
// the interfaces so that they are released while COM is still up.
class ComLibrary {
 public:
  explicit ComLibrary(const Platform& platform)
      : platform_(platform), result_(platform.CoInitialize(nullptr)) {}
  ~ComLibrary() {
    if (SUCCEEDED(result_)) platform_.CoUninitialize();  // S_FALSE counts as well
  }
  ComLibrary(const ComLibrary&) = delete;
  ComLibrary& operator=(const ComLibrary&) = delete;
  bool ok() const { return SUCCEEDED(result_); }

 private:
  const Platform& platform_;
  HRESULT result_;
};

// One interface reference, released once.
template <typename I>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() {
    if (p_) p_->Release();
  }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  I* operator->() const { return p_; }
  I* get() const { return p_; }
  void** put() { return reinterpret_cast<void**>(&p_); }

 private:
  I* p_ = nullptr;
};

// The icon as the link gets it: iconLocation with its environment variables
// expanded, when it fits 259 characters and an index is given; otherwise the
// system's shell32.dll (with the index as given, -1 included).
std::wstring IconPath(const Platform& platform, const ShortcutEntry& entry) {
  std::wstring path;
  if (entry.iconLocation) {
    wchar_t expanded[MAX_PATH] = {};
    const DWORD needed =
        platform.ExpandEnvironmentStringsW(entry.iconLocation->c_str(), expanded, MAX_PATH);
    if (needed != 0 && needed <= MAX_PATH) path = expanded;
  }
  if (path.empty() || entry.iconIndex == -1) {
    wchar_t system[MAX_PATH] = {};
    const UINT length = platform.GetSystemDirectoryW(system, MAX_PATH);
    path.assign(length < MAX_PATH ? system : L"");
    path += L"\\shell32.dll";
  }
  return path;
}

// Saves one shortcut: kOk or kSaveFailed.
int SaveShortcut(const Platform& platform, IShellLinkW* link, IPersistFile* file,
                 const std::wstring& programs, const std::wstring& folderStructure,
                 const ShortcutEntry& entry) {
  const std::wstring folder =
      entry.parentFolderOverride ? *entry.parentFolderOverride : programs + L"\\" + folderStructure;
  const std::wstring path = folder + L"\\" + entry.displayName + L".lnk";
  // Refused before any folder is made: nothing of it is left behind.
  if (path.size() > detail::kMaxPathChars) return kSaveFailed;
  // Existing folders are fine; any other failure shows up as a failed save.
  platform.SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  // The object is reused: every property is set anew for each shortcut, and
  // one that could not be set would save the previous shortcut's.
  if (FAILED(link->SetPath(entry.target.c_str())) ||
      FAILED(link->SetArguments(entry.arguments.c_str())) ||
      FAILED(link->SetWorkingDirectory(entry.startDirectory.c_str())) ||
      FAILED(link->SetIconLocation(IconPath(platform, entry).c_str(), entry.iconIndex)))
    return kSaveFailed;
  return file->Save(path.c_str(), TRUE) == S_OK ? kOk : kSaveFailed;
}

}  // namespace

int CreateShortcuts(const Platform& platform, const std::wstring& iniPath) {
  ComLibrary com(platform);
  if (!com.ok()) return kComInitFailed;
  IniText ini(platform);
  const int loaded = LoadIniText(platform, iniPath, &ini);
  if (loaded != kOk) return loaded;
  std::wstring programs;
  if (!detail::LocateProgramsFolder(platform, ReadForAllUsers(ini.text), &programs)) {
    return kPlatformFailed;
  }
  ComRef<IShellLinkW> link;
  ComRef<IPersistFile> file;
  if (FAILED(platform.CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IShellLinkW, link.put())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.put()))) {
    return kPlatformFailed;
  }
  std::wstring folderStructure;
  size_t at = kNoPosition;
  const int folderCode = ReadFolderStructure(ini.text, &folderStructure, &at);
  if (folderCode != kOk) return folderCode;

  // A shortcut that could not be saved fails the run even when later ones
  // were saved: the caller must not take a missing shortcut for success.
  int result = kOk;
  for (;;) {
    const ShortcutSection section = ReadShortcut(ini.text, at, false);
    if (section.code != kOk) return section.code;
    if (SaveShortcut(platform, link.get(), file.get(), programs, folderStructure, section.entry) !=
        kOk) {
      result = kSaveFailed;
    }
    if (section.next == kNoPosition) return result;
    at = section.next;
  }
}

}  // namespace linkforge
