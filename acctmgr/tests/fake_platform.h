// A scripted acctmgr platform: each test fills a Script, the fake functions
// answer from it and record what they were asked. FormatMessageW is the real
// one (the test program carries acctmgr's message table); everything that
// allocates is counted so a leak or a double release fails the test.
#pragma once

#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform.h"

namespace acctmgr_test {

struct TokenGroup {
  WELL_KNOWN_SID_TYPE type;
  DWORD attributes;
};

struct Script {
  // Captured output. Narrow writes are widened byte by byte.
  std::wstring out, err;

  bool verboseVariable = false;

  // LocalAlloc: fails (with ERROR_NOT_ENOUGH_MEMORY) on this call number (1-based; 0 never).
  int failAllocCall = 0;

  // GetUserNameExW
  DWORD userNameError = 0;
  std::wstring currentUser = L"HOST\\alice";

  // LookupAccountNameW: the identifier size it needs and, optionally, a domain
  // length it needs; a failure code other than 122.
  DWORD sidBytesNeeded = 28;
  DWORD domainCharsNeeded = 5;
  DWORD lookupNameError = 0;
  std::vector<DWORD> lookupSizesSeen;  // identifier buffer sizes offered
  std::wstring lookedUpName;

  // LSA
  NTSTATUS openPolicyStatus = 0;
  ACCESS_MASK openPolicyAccess = 0;
  NTSTATUS addRightsStatus = 0;
  int addRightsCalls = 0;
  std::vector<std::wstring> grantedRights;
  std::vector<USHORT> grantedMaxLengths;
  std::wstring grantedSid;  // the identifier the rights went to, as a SID string

  // ConvertStringSidToSidW (the real one): the texts it was given.
  std::vector<std::wstring> sidStrings;

  // Administrators identifier and its local name (the only identifier the
  // lookup knows besides the logged-on user's: any other is not mapped).
  DWORD allocateSidError = 0;
  DWORD lookupSidError = 0;
  std::wstring adminGroupName = L"Administrators";

  // Local groups.
  NET_API_STATUS localGroupsStatus = 0;
  std::vector<std::wstring> localGroups;
  std::wstring localGroupsUser;
  NET_API_STATUS membersStatus = 0;
  std::vector<std::wstring> members;
  std::wstring membersGroup;

  // Token membership.
  bool checkMembershipOk = true;
  BOOL isMember = TRUE;
  int checkMembershipCalls = 0;

  // Tokens.
  DWORD openThreadError = ERROR_NO_TOKEN;  // 0: a thread token is there
  DWORD openProcessError = 0;
  DWORD sizeQueryError = ERROR_INSUFFICIENT_BUFFER;
  DWORD readGroupsError = 0;
  std::vector<TokenGroup> tokenGroups;

  // The password check. input is standard input, read as the runtime's
  // line reader does; the logon answers logonError (0: success).
  std::wstring input;
  size_t inputRead = 0;
  DWORD logonError = 0;
  int logonCalls = 0;
  std::wstring logonUser, logonDomain, logonPassword;  // "(null)" for a null one
  DWORD logonType = 0;
  // The password's characters, looked at again when the token is first
  // asked about its user: true when they were all zero by then.
  bool passwordWipedAfterLogon = false;
  // The token's user: the size query's error, the read's, the lookup's, and
  // the domain the lookup reports.
  DWORD userSizeError = ERROR_INSUFFICIENT_BUFFER;
  DWORD readUserError = 0;
  DWORD lookupUserError = 0;
  std::wstring accountDomain = L"CORP";
  int userQueries = 0;

  // The process's library search as set, and the libraries looked for or
  // loaded: in all, and before the search was made safe.
  DWORD searchPathMode = 0;
  std::wstring dllDirectory = L"(unset)";
  int libraryLoads = 0;
  int unsafeLoads = 0;

  // The toolkit loader: the product's registry keys, the environment.
  std::wstring installVersion = L"7.1";
  std::wstring installRoot = L"C:\\TEV";
  std::map<std::wstring, std::wstring> env;
  DWORD setEnvError = 0;

  // Books: what is held right now.
  int heldBlocks = 0;
  int heldSids = 0;
  int heldNetBuffers = 0;
  int heldPolicies = 0;
  int heldTokens = 0;
  int heldKeys = 0;
  int allocCalls = 0;
  int bookErrors = 0;  // releases of something not held

  bool Balanced() const {
    return heldBlocks == 0 && heldSids == 0 && heldNetBuffers == 0 && heldPolicies == 0 &&
           heldTokens == 0 && heldKeys == 0 && bookErrors == 0;
  }
};

// Installs script as the answers of the table returned by Platform().
void Use(Script* script);
const acctmgr::Platform& Platform();

// Runs the driver with these arguments (argument 0 included) against the
// script and returns the exit code.
int RunAcctmgr(Script& script, std::vector<std::wstring> args);

}  // namespace acctmgr_test
