// The commands of acctmgr. Each takes the whole argument vector (program
// name and command word included) and returns the exit code.
#pragma once

#include <string>

#include "console.h"
#include "wt/owned.h"

namespace acctmgr {

// The current user's name in NameSamCompatible form (Domain\User).
// Returns ERROR_SUCCESS or the platform's error code.
DWORD CurrentUserName(const Platform& p, std::wstring* name);

// An account or group given as "*S-1-5-19": the identifier of the SID
// string after the '*', in a block released through LocalFree. An empty
// string is malformed too (the system's conversion is not asked: Wine's
// takes it for S-1-0-0). Returns ERROR_SUCCESS or the error code.
DWORD SidFromString(const Platform& p, const wchar_t* text, PSID* sid);

int AddUserRights(Context& ctx, int argc, wchar_t** argv);   // -aur
int CheckUserGroup(Context& ctx, int argc, wchar_t** argv);  // -cug
int CheckUserAdmin(Context& ctx);                            // -cuadmin

// -cupw (logon type LOGON32_LOGON_BATCH) and -cunpw (LOGON32_LOGON_NETWORK):
// verifies a password by a real logon.
int CheckPassword(Context& ctx, int argc, wchar_t** argv, DWORD logonType);

// A block from the platform's LocalAlloc, released through its LocalFree.
using OwnedBlock = wt::Owned<decltype(&::LocalFree)>;

// Decodes an encoded password ("{...}") with the product's VQ toolkit. On 0,
// *password points to the plain text in *plain, a zero-terminated copy of
// *plainBytes bytes that the caller owns and wipes before releasing it.
// Otherwise the exit code (200-202, 205, 210-214), its line already printed
// where it has one; *password is then not to be used.
int DecodePassword(Context& ctx, const wchar_t** password, OwnedBlock* plain, size_t* plainBytes);

// The driver: dispatches one command, prints the usage text where the result
// is 1 and the closing line on every path. Returns the exit code.
int Run(Context& ctx, int argc, wchar_t** argv);

}  // namespace acctmgr
