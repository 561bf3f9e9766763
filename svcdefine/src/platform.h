// svcdefine's platform seam: every Win32 call the operations make, as one
// table whose real entries are the Win32 functions themselves. Unit tests
// pass a scripted table (with a virtual clock behind Sleep). A failing entry
// sets the thread's last error as the real function does; registry entries
// return their code.
#pragma once

#include <windows.h>

#include <string_view>

namespace svcdefine {

struct Platform {
  // Files and profile (INI) files.
  DWORD(WINAPI* GetFullPathNameW)(LPCWSTR, DWORD, LPWSTR, LPWSTR*);
  HANDLE(WINAPI* FindFirstFileW)(LPCWSTR, LPWIN32_FIND_DATAW);
  BOOL(WINAPI* FindClose)(HANDLE);
  DWORD(WINAPI* GetPrivateProfileStringW)(LPCWSTR, LPCWSTR, LPCWSTR, LPWSTR, DWORD, LPCWSTR);
  UINT(WINAPI* GetPrivateProfileIntW)(LPCWSTR, LPCWSTR, INT, LPCWSTR);
  // Service control manager.
  SC_HANDLE(WINAPI* OpenSCManagerW)(LPCWSTR, LPCWSTR, DWORD);
  SC_HANDLE(WINAPI* CreateServiceW)(SC_HANDLE, LPCWSTR, LPCWSTR, DWORD, DWORD, DWORD, DWORD,
                                    LPCWSTR, LPCWSTR, LPDWORD, LPCWSTR, LPCWSTR, LPCWSTR);
  BOOL(WINAPI* ChangeServiceConfig2W)(SC_HANDLE, DWORD, LPVOID);
  SC_HANDLE(WINAPI* OpenServiceW)(SC_HANDLE, LPCWSTR, DWORD);
  BOOL(WINAPI* QueryServiceStatus)(SC_HANDLE, LPSERVICE_STATUS);
  BOOL(WINAPI* ControlService)(SC_HANDLE, DWORD, LPSERVICE_STATUS);
  BOOL(WINAPI* DeleteService)(SC_HANDLE);
  BOOL(WINAPI* CloseServiceHandle)(SC_HANDLE);
  // Registry: these return their error code and leave the last error alone.
  LSTATUS(WINAPI* RegOpenKeyExW)(HKEY, LPCWSTR, DWORD, REGSAM, PHKEY);
  LSTATUS(WINAPI* RegSetValueExW)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
  LSTATUS(WINAPI* RegCloseKey)(HKEY);
  // Time.
  VOID(WINAPI* Sleep)(DWORD);
  // Standard output (the text as the program formatted it).
  void (*Write)(std::wstring_view text);
};

// The real Win32 functions; Write goes to the C runtime's stdout.
const Platform& RealPlatform();

}  // namespace svcdefine
