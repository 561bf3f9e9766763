// The commands of acctmgr. Each takes the whole argument vector (program
// name and command word included) and returns the exit code.
#pragma once

#include <string>

#include "console.h"

namespace acctmgr {

// The current user's name in NameSamCompatible form (Domain\User).
// Returns ERROR_SUCCESS or the platform's error code.
DWORD CurrentUserName(const Platform& p, std::wstring* name);

int AddUserRights(Context& ctx, int argc, wchar_t** argv);   // -aur
int CheckUserGroup(Context& ctx, int argc, wchar_t** argv);  // -cug
int CheckUserAdmin(Context& ctx);                            // -cuadmin

// The driver: dispatches one command, prints the usage text where the result
// is 1 and the closing line on every path. Returns the exit code.
int Run(Context& ctx, int argc, wchar_t** argv);

}  // namespace acctmgr
