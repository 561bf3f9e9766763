// The Win32 calls of libRegKit, as one table. The real table passes the calls
// straight through; unit tests pass a scripted one.
//
// RegDeleteKeyExW is not in the table: the key deletion looks it up at run
// time in advapi32 (Windows versions before it lack it), so a scripted table
// answers GetModuleHandleA/GetProcAddress instead.
#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shlwapi.h>

namespace regkit {

using RegDeleteKeyExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);

struct Platform {
  decltype(&::RegOpenKeyExW) RegOpenKeyExW;
  decltype(&::RegCreateKeyExW) RegCreateKeyExW;
  decltype(&::RegCloseKey) RegCloseKey;
  decltype(&::RegQueryValueExW) RegQueryValueExW;
  decltype(&::RegQueryInfoKeyA) RegQueryInfoKeyA;
  decltype(&::RegEnumValueW) RegEnumValueW;
  decltype(&::RegEnumKeyExW) RegEnumKeyExW;
  decltype(&::RegSetValueExW) RegSetValueExW;
  decltype(&::RegDeleteValueW) RegDeleteValueW;
  decltype(&::RegDeleteKeyW) RegDeleteKeyW;
  decltype(&::GetModuleHandleA) GetModuleHandleA;
  decltype(&::GetProcAddress) GetProcAddress;
  decltype(&::SHDeleteKeyW) SHDeleteKeyW;  // shlwapi

  // One finished message line, formatted, onto standard output.
  void (*WriteMessage)(const wchar_t* line);
};

// The table of the real functions.
const Platform& RealPlatform();

}  // namespace regkit
