#include "platform.h"

#include <cstdio>
#include <cwchar>

#include "wt/output.h"
#include "wt/system_proc.h"

namespace acctmgr {
namespace {

void WriteWideReal(Stream s, std::wstring_view text) {
  wt::WriteWide(s == Stream::Out ? stdout : stderr, text);
}

void WriteNarrowReal(Stream s, std::string_view text) {
  wt::WriteNarrow(s == Stream::Out ? stdout : stderr, text);
}

bool ReadLineReal(wchar_t* buffer, int count) {
  return std::fgetws(buffer, count, stdin) != nullptr;
}

// netapi32 (local groups) and secur32 (the current user's name) serve -cug
// and -aur only: bound on first use, so that the other commands and the
// usage text start without loading them. A DLL or function that cannot be
// found fails the call the way the function itself fails.
NET_API_STATUS WINAPI NetUserGetLocalGroupsOnFirstUse(LPCWSTR server, LPCWSTR user, DWORD level,
                                                      DWORD flags, LPBYTE* buffer, DWORD preferred,
                                                      LPDWORD read, LPDWORD total) {
  static const auto fn =
      wt::SystemProc<decltype(&::NetUserGetLocalGroups)>(L"netapi32.dll", "NetUserGetLocalGroups");
  return fn ? fn(server, user, level, flags, buffer, preferred, read, total) : ERROR_PROC_NOT_FOUND;
}

NET_API_STATUS WINAPI NetLocalGroupGetMembersOnFirstUse(LPCWSTR server, LPCWSTR group, DWORD level,
                                                        LPBYTE* buffer, DWORD preferred,
                                                        LPDWORD read, LPDWORD total,
                                                        PDWORD_PTR resume) {
  static const auto fn = wt::SystemProc<decltype(&::NetLocalGroupGetMembers)>(
      L"netapi32.dll", "NetLocalGroupGetMembers");
  return fn ? fn(server, group, level, buffer, preferred, read, total, resume)
            : ERROR_PROC_NOT_FOUND;
}

NET_API_STATUS WINAPI NetApiBufferFreeOnFirstUse(LPVOID buffer) {
  static const auto fn =
      wt::SystemProc<decltype(&::NetApiBufferFree)>(L"netapi32.dll", "NetApiBufferFree");
  return fn ? fn(buffer) : ERROR_PROC_NOT_FOUND;
}

BOOLEAN SEC_ENTRY GetUserNameExWOnFirstUse(EXTENDED_NAME_FORMAT format, LPWSTR name, PULONG size) {
  static const auto fn =
      wt::SystemProc<decltype(&::GetUserNameExW)>(L"secur32.dll", "GetUserNameExW");
  if (!fn) {
    SetLastError(ERROR_PROC_NOT_FOUND);
    return FALSE;
  }
  return fn(format, name, size);
}

}  // namespace

const Platform& RealPlatform() {
  static const Platform real = {
      WriteWideReal,
      WriteNarrowReal,
      ::FormatMessageW,
      ::GetEnvironmentVariableW,
      ::LocalAlloc,
      ::LocalFree,
      GetUserNameExWOnFirstUse,
      ::LookupAccountNameW,
      ::LookupAccountSidW,
      ::LsaOpenPolicy,
      ::LsaAddAccountRights,
      ::LsaClose,
      ::LsaNtStatusToWinError,
      ::AllocateAndInitializeSid,
      ::FreeSid,
      ::ConvertStringSidToSidW,
      NetUserGetLocalGroupsOnFirstUse,
      NetLocalGroupGetMembersOnFirstUse,
      NetApiBufferFreeOnFirstUse,
      ::CheckTokenMembership,
      ::OpenThreadToken,
      ::OpenProcessToken,
      ::GetTokenInformation,
      ::IsWellKnownSid,
      ::CloseHandle,
      ::LogonUserW,
      ReadLineReal,
      ::SetSearchPathMode,
      ::SetDllDirectoryW,
      ::RegOpenKeyExW,
      ::RegQueryValueExW,
      ::RegCloseKey,
      ::GetEnvironmentVariableA,
      ::SetEnvironmentVariableW,
      ::GetModuleFileNameW,
      ::SearchPathW,
      ::LoadLibraryW,
      ::LoadLibraryExW,
      ::GetProcAddress,
      ::FreeLibrary,
      ::FormatMessageA,
      ::WideCharToMultiByte,
      ::MultiByteToWideChar,
  };
  return real;
}

}  // namespace acctmgr
