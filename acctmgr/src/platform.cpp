#include "platform.h"

#include <cstdio>
#include <cwchar>

#include "wt/output.h"

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

}  // namespace

const Platform& RealPlatform() {
  static const Platform real = {
      WriteWideReal,
      WriteNarrowReal,
      ::FormatMessageW,
      ::GetEnvironmentVariableW,
      ::LocalAlloc,
      ::LocalFree,
      ::GetUserNameExW,
      ::LookupAccountNameW,
      ::LookupAccountSidW,
      ::LsaOpenPolicy,
      ::LsaAddAccountRights,
      ::LsaClose,
      ::LsaNtStatusToWinError,
      ::AllocateAndInitializeSid,
      ::FreeSid,
      ::NetUserGetLocalGroups,
      ::NetLocalGroupGetMembers,
      ::NetApiBufferFree,
      ::CheckTokenMembership,
      ::OpenThreadToken,
      ::OpenProcessToken,
      ::GetTokenInformation,
      ::IsWellKnownSid,
      ::CloseHandle,
      ::LogonUserW,
      ReadLineReal,
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
