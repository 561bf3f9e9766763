// lnkinfo PATH...: prints what each shell link holds (target, arguments,
// working directory, icon file and index), read back through a fresh shell
// link object. A PATH may hold environment variables ("%APPDATA%\...") and
// may name a folder: then every .lnk below it is printed (or that there is
// none, or that the folder is not there). Used by the demo to show what linkforge made.
#include <objbase.h>
#include <windows.h>

#include <cstdio>
#include <string>

#include "lnk_reader.h"
#include "wt/output.h"

namespace {

void Print(const std::wstring& text) { wt::WriteWide(stdout, text); }

bool PrintLink(const std::wstring& path) {
  const auto link = linkforge::testing::ReadLink(path);
  if (!link.loaded) {
    Print(path + L": not a readable shell link\n");
    return false;
  }
  Print(
      wt::FormatW(L"%ls\n  target:            %ls\n  arguments:         %ls\n"
                  L"  working directory: %ls\n  icon:              %ls,%d\n",
                  path.c_str(), link.target.c_str(), link.arguments.c_str(),
                  link.workingDirectory.c_str(), link.iconPath.c_str(), link.iconIndex));
  return true;
}

// Every .lnk below folder, folder by folder; counts them into *links.
bool PrintFolder(const std::wstring& folder, int* links) {
  bool ok = true;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return true;
  do {
    const std::wstring name = entry.cFileName;
    const std::wstring path = folder + L"\\" + name;
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (name != L"." && name != L"..") ok = PrintFolder(path, links) && ok;
    } else if (name.size() > 4 && _wcsicmp(name.c_str() + name.size() - 4, L".lnk") == 0) {
      ok = PrintLink(path) && ok;
      ++*links;
    }
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  CoInitialize(nullptr);
  int failures = 0;
  for (int i = 1; i < argc; ++i) {
    wchar_t path[MAX_PATH * 2] = {};
    ExpandEnvironmentStringsW(argv[i], path, MAX_PATH * 2);
    const DWORD attributes = GetFileAttributesW(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
      Print(std::wstring(path) + L": not there\n");
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      int links = 0;
      failures += PrintFolder(path, &links) ? 0 : 1;
      if (links == 0) Print(std::wstring(path) + L": no shortcuts\n");
    } else {
      failures += PrintLink(path) ? 0 : 1;
    }
  }
  CoUninitialize();
  return failures;
}
