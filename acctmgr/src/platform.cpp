#include "platform.h"

#include <cstdio>

#include "wt/output.h"

namespace acctmgr {
namespace {

void WriteWideReal(Stream s, std::wstring_view text) {
  wt::WriteWide(s == Stream::Out ? stdout : stderr, text);
}

void WriteNarrowReal(Stream s, std::string_view text) {
  wt::WriteNarrow(s == Stream::Out ? stdout : stderr, text);
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
  };
  return real;
}

}  // namespace acctmgr
