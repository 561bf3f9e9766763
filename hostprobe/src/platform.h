// The Win32 calls of libHostProbe, as one table. The real table passes the
// calls straight through; unit tests pass a scripted one.
//
// GetNativeSystemInfo, GetProductInfo, IsWow64Process and the two WOW64
// redirection functions are not in the table: the operations look them up at
// run time with GetModuleHandleA/GetProcAddress (older Windows lack them), so
// a scripted table answers those two lookups instead.
#pragma once

#include <windows.h>

namespace hostprobe {

using GetNativeSystemInfoFn = void(WINAPI*)(LPSYSTEM_INFO);
using GetProductInfoFn = BOOL(WINAPI*)(DWORD, DWORD, DWORD, DWORD, PDWORD);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
using Wow64DisableFn = BOOL(WINAPI*)(PVOID*);
using Wow64RevertFn = BOOL(WINAPI*)(PVOID);

struct Platform {
  // Version and system facts
  BOOL(WINAPI* GetVersionExA)(LPOSVERSIONINFOA);
  void(WINAPI* GetSystemInfo)(LPSYSTEM_INFO);
  HMODULE(WINAPI* GetModuleHandleA)(LPCSTR);
  FARPROC(WINAPI* GetProcAddress)(HMODULE, LPCSTR);
  HANDLE(WINAPI* GetCurrentProcess)();
  DWORD(WINAPI* GetLastError)();
  const char* (*GetEnv)(const char* name);  // the runtime's environment
  UINT(WINAPI* GetSystemDirectoryA)(LPSTR, UINT);
  BOOL(WINAPI* GlobalMemoryStatusEx)(LPMEMORYSTATUSEX);
  BOOL(WINAPI* GetComputerNameA)(LPSTR, LPDWORD);

  // Files
  BOOL(WINAPI* CopyFileW)(LPCWSTR, LPCWSTR, BOOL);
  BOOL(WINAPI* DeleteFileW)(LPCWSTR);
  BOOL(WINAPI* MoveFileExW)(LPCWSTR, LPCWSTR, DWORD);
  DWORD(WINAPI* GetShortPathNameW)(LPCWSTR, LPWSTR, DWORD);
  HANDLE(WINAPI* CreateFileW)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
  BOOL(WINAPI* CloseHandle)(HANDLE);

  // Fonts and window messages
  int(WINAPI* AddFontResourceW)(LPCWSTR);
  BOOL(WINAPI* RemoveFontResourceW)(LPCWSTR);
  BOOL(WINAPI* PostMessageA)(HWND, UINT, WPARAM, LPARAM);
  LRESULT(WINAPI* SendMessageTimeoutA)(HWND, UINT, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR);

  // Restart
  BOOL(WINAPI* OpenProcessToken)(HANDLE, DWORD, PHANDLE);
  BOOL(WINAPI* LookupPrivilegeValueA)(LPCSTR, LPCSTR, PLUID);
  BOOL(WINAPI* AdjustTokenPrivileges)(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES,
                                      PDWORD);
  BOOL(WINAPI* ExitWindowsEx)(UINT, DWORD);

  // The log entries (jnisupport's LogInfo / LogWarning).
  void (*LogInfo)(const char* key, const char* value);
  void (*LogWarning)(const char* key, const char* value);
};

// The table of the real functions.
const Platform& RealPlatform();

}  // namespace hostprobe
