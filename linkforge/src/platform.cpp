#include "platform.h"

#include <cstdio>

#include "wt/output.h"
#include "wt/system_proc.h"

namespace linkforge {
namespace {

void WriteStdout(std::wstring_view text) { wt::WriteWide(stdout, text); }

// COM (ole32) and the shell (shell32, shlwapi) are bound when a command first
// calls them, so that the usage text and a bad command line start without
// loading them. A DLL or function that cannot be found fails the call the
// way the function itself reports failure.
constexpr HRESULT kNoFunction = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);

HRESULT WINAPI CoInitializeOnFirstUse(LPVOID reserved) {
  static const auto fn = wt::SystemProc<decltype(&::CoInitialize)>(L"ole32.dll", "CoInitialize");
  return fn ? fn(reserved) : kNoFunction;
}

void WINAPI CoUninitializeOnFirstUse() {
  static const auto fn =
      wt::SystemProc<decltype(&::CoUninitialize)>(L"ole32.dll", "CoUninitialize");
  if (fn) fn();
}

HRESULT WINAPI CoCreateInstanceOnFirstUse(REFCLSID clsid, LPUNKNOWN outer, DWORD context,
                                          REFIID iid, LPVOID* object) {
  static const auto fn =
      wt::SystemProc<decltype(&::CoCreateInstance)>(L"ole32.dll", "CoCreateInstance");
  if (!fn) {
    *object = nullptr;
    return kNoFunction;
  }
  return fn(clsid, outer, context, iid, object);
}

BOOL WINAPI SHGetSpecialFolderPathWOnFirstUse(HWND owner, LPWSTR path, int folder, BOOL create) {
  static const auto fn = wt::SystemProc<decltype(&::SHGetSpecialFolderPathW)>(
      L"shell32.dll", "SHGetSpecialFolderPathW");
  return fn ? fn(owner, path, folder, create) : FALSE;
}

int WINAPI SHCreateDirectoryExWOnFirstUse(HWND owner, LPCWSTR path,
                                          const SECURITY_ATTRIBUTES* security) {
  static const auto fn =
      wt::SystemProc<decltype(&::SHCreateDirectoryExW)>(L"shell32.dll", "SHCreateDirectoryExW");
  return fn ? fn(owner, path, security) : ERROR_PROC_NOT_FOUND;
}

BOOL WINAPI PathFileExistsWOnFirstUse(LPCWSTR path) {
  static const auto fn =
      wt::SystemProc<decltype(&::PathFileExistsW)>(L"shlwapi.dll", "PathFileExistsW");
  return fn ? fn(path) : FALSE;
}

const Platform kReal = {
    ::CreateFileW,
    ::GetFileSize,
    ::ReadFile,
    ::CloseHandle,
    ::LocalAlloc,
    ::LocalFree,
    ::MultiByteToWideChar,
    CoInitializeOnFirstUse,
    CoUninitializeOnFirstUse,
    CoCreateInstanceOnFirstUse,
    SHGetSpecialFolderPathWOnFirstUse,
    SHCreateDirectoryExWOnFirstUse,
    ::ExpandEnvironmentStringsW,
    ::GetSystemDirectoryW,
    PathFileExistsWOnFirstUse,
    ::DeleteFileW,
    ::FindFirstFileW,
    ::FindNextFileW,
    ::FindClose,
    ::RemoveDirectoryW,
    ::GetFileInformationByHandle,
    WriteStdout,
};

}  // namespace

const Platform& RealPlatform() { return kReal; }

}  // namespace linkforge
