// The Win32 calls acctmgr makes, as one table. Production code passes
// RealPlatform(); unit tests pass a scripted table. Entries have the exact
// types of the system functions, so the real table is just their addresses.
#pragma once

#include <windows.h>
// ntsecapi.h needs the NTSTATUS type that winternl.h-free builds lack.
#ifndef _NTDEF_
typedef LONG NTSTATUS;
#endif
#include <ntsecapi.h>
#define SECURITY_WIN32
#include <lm.h>
#include <sddl.h>
#include <security.h>

#include <string_view>

namespace acctmgr {

enum class Stream { Out, Err };

struct Platform {
  // Text output. Wide text goes through the runtime's text-mode stream
  // (see wt/output.h); narrow text is written as it is.
  void (*WriteWide)(Stream, std::wstring_view);
  void (*WriteNarrow)(Stream, std::string_view);

  decltype(&::FormatMessageW) FormatMessageW;
  decltype(&::GetEnvironmentVariableW) GetEnvironmentVariableW;
  decltype(&::LocalAlloc) LocalAlloc;
  decltype(&::LocalFree) LocalFree;

  // Accounts and the local security policy.
  decltype(&::GetUserNameExW) GetUserNameExW;
  decltype(&::LookupAccountNameW) LookupAccountNameW;
  decltype(&::LookupAccountSidW) LookupAccountSidW;
  decltype(&::LsaOpenPolicy) LsaOpenPolicy;
  decltype(&::LsaAddAccountRights) LsaAddAccountRights;
  decltype(&::LsaClose) LsaClose;
  decltype(&::LsaNtStatusToWinError) LsaNtStatusToWinError;
  decltype(&::AllocateAndInitializeSid) AllocateAndInitializeSid;
  decltype(&::FreeSid) FreeSid;
  // "*S-1-5-19": an account or group given as a SID string. The identifier
  // comes back in a block released through LocalFree.
  decltype(&::ConvertStringSidToSidW) ConvertStringSidToSidW;

  // Local groups.
  decltype(&::NetUserGetLocalGroups) NetUserGetLocalGroups;
  decltype(&::NetLocalGroupGetMembers) NetLocalGroupGetMembers;
  decltype(&::NetApiBufferFree) NetApiBufferFree;

  // Tokens.
  decltype(&::CheckTokenMembership) CheckTokenMembership;
  decltype(&::OpenThreadToken) OpenThreadToken;
  decltype(&::OpenProcessToken) OpenProcessToken;
  decltype(&::GetTokenInformation) GetTokenInformation;
  decltype(&::IsWellKnownSid) IsWellKnownSid;
  decltype(&::CloseHandle) CloseHandle;

  // The password check. ReadLine reads one line of standard input with the
  // runtime's line reader into buffer (count characters, terminator
  // included; a longer line is left in the stream); false at end of input.
  decltype(&::LogonUserW) LogonUserW;
  bool (*ReadLine)(wchar_t* buffer, int count);

  // The toolkit loader: the process's library search, the product's
  // registry keys, the search variables, the libraries and their error texts.
  decltype(&::SetSearchPathMode) SetSearchPathMode;
  decltype(&::SetDllDirectoryW) SetDllDirectoryW;
  decltype(&::RegOpenKeyExW) RegOpenKeyExW;
  decltype(&::RegQueryValueExW) RegQueryValueExW;
  decltype(&::RegCloseKey) RegCloseKey;
  decltype(&::GetEnvironmentVariableA) GetEnvironmentVariableA;
  decltype(&::SetEnvironmentVariableW) SetEnvironmentVariableW;
  decltype(&::GetModuleFileNameW) GetModuleFileNameW;
  decltype(&::SearchPathW) SearchPathW;
  decltype(&::LoadLibraryW) LoadLibraryW;
  decltype(&::LoadLibraryExW) LoadLibraryExW;
  decltype(&::GetProcAddress) GetProcAddress;
  decltype(&::FreeLibrary) FreeLibrary;
  decltype(&::FormatMessageA) FormatMessageA;
  decltype(&::WideCharToMultiByte) WideCharToMultiByte;
  decltype(&::MultiByteToWideChar) MultiByteToWideChar;
};

// The table of the real functions.
const Platform& RealPlatform();

}  // namespace acctmgr
