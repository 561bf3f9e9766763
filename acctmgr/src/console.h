// Catalogue messages, error lines, usage text and the closing line of acctmgr.
#pragma once

#include <windows.h>

#include <string>

#include "messages.h"  // message identifiers, generated from messages.mc
#include "platform.h"

namespace acctmgr {

// Exit codes.
enum ExitCode : int {
  kOk = 0,
  kUsage = 1,
  kMissingValue = 2,
  kNoCurrentUser = 101,
  kGrantFailed = 102,
  kNoSid = 103,
  kNoPolicy = 104,
  kNoMemoryRights = 105,
  kNoMemorySid = 106,
  kToolkitNotLoaded = 200,
  kPoolFailed = 201,
  kDecodeFailed = 202,
  kNoMemoryDomain = 204,
  kNoMemoryPassword = 205,
  kNoVersionKey = 210,
  kNoVersion = 211,
  kNoInstallKey = 212,
  kNoInstallRoot = 213,
  kNoSearchPath = 214,
  kLogonFailure = 215,
  kLogonTypeNotGranted = 216,
  kLogonFailed = 217,
  kWrongDomain = 218,
  kNoDomain = 219,
  kNotInGroup = 300,
  kAdminSidFailed = 301,
  kAdminNameFailed = 302,
  kGroupsAccessDenied = 303,
  kGroupsMoreData = 304,
  kGroupsInvalidComputer = 305,
  kGroupsUserNotFound = 306,
  kGroupsOther = 307,
  kMembersFailed = 308,
  kAdminDenyOnly = 400,
  kAdminAbsent = 401,
  kTokenUnreadable = 402,
};

// FormatMessageW flag sets.
constexpr DWORD kUsageFlags = FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY;  // 0x2800
constexpr DWORD kPrefixFlags = FORMAT_MESSAGE_FROM_HMODULE;                                 // 0x0800
constexpr DWORD kTextFlags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_HMODULE |
                             FORMAT_MESSAGE_ARGUMENT_ARRAY;                                 // 0x3800

// State of one run: the platform and the error prefix, loaded on first use.
struct Context {
  explicit Context(const Platform& platform) : p(platform) {}
  const Platform& p;
  wchar_t errorPrefix[256] = {};
  size_t errorPrefixLength = 0;
  bool verbose = false;  // set from ACCTMGR_VERBOSE; nothing reads it yet
};

// Formats catalogue entry or system message `id`. args, when given, is an
// array of string pointers for %1, %2. The result has no length limit (the
// platform allocates it); empty when the platform has no text for id.
std::wstring FormatText(const Context& ctx, DWORD id, DWORD flags, const wchar_t* const* args);

// One error line on standard error:
//   "<prefix> <code> <text>", or for a system code with arguments
//   "<prefix> <code> <first argument> : <text>".
void ReportError(Context& ctx, DWORD code, const wchar_t* const* args = nullptr);

// A catalogue entry with its inserts, written to stream as it is.
void ShowMessage(Context& ctx, DWORD id, const wchar_t* const* args, Stream stream);

// The 19 usage lines on standard output, %1 = the program name.
void PrintUsage(Context& ctx, const wchar_t* program);

// "<program> exiting with <code> exit code" on standard error.
void PrintClosingLine(Context& ctx, const wchar_t* program, int code);

}  // namespace acctmgr
