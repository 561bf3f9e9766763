// -cuadmin: does this process's token hold the Administrators group, and is
// it usable or there for deny only (a filtered token under UAC)?
#include "operations.h"
#include "wt/output.h"
#include "wt/owned.h"

namespace acctmgr {

int CheckUserAdmin(Context& ctx) {
  const Platform& p = ctx.p;
  auto fail = [&p](const std::string& line) {
    p.WriteNarrow(Stream::Err, line);
    return kTokenUnreadable;
  };

  // The thread's own token when it impersonates, else the process token.
  // A failed open hands nothing out, whatever it left in the slot.
  wt::Owned token(p.CloseHandle);
  if (!p.OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.put())) {
    token.release();
    if (!p.OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) {
      const DWORD error = GetLastError();
      token.release();
      return fail(wt::FormatA("Cannot open my own token for TOKEN_READ error %d\n", static_cast<int>(error)));
    }
  }

  DWORD size = 0;
  const BOOL sized = p.GetTokenInformation(token.get(), TokenGroups, nullptr, 0, &size);
  const DWORD sizeError = sized ? ERROR_SUCCESS : GetLastError();
  if (sizeError != ERROR_INSUFFICIENT_BUFFER) {
    return fail(wt::FormatA("Unexpected error %d from GetTokenInformation(query_size)\n",
                            static_cast<int>(sizeError)));
  }

  wt::Owned groups(p.LocalFree, p.LocalAlloc(LPTR, size));
  if (!groups) {
    return fail(wt::FormatA("unable to allocate %d bytes\n", static_cast<int>(size)));
  }
  if (!p.GetTokenInformation(token.get(), TokenGroups, groups.get(), size, &size)) {
    const DWORD error = GetLastError();
    return fail(wt::FormatA("Unexpected error %d from GetTokenInformation\n", static_cast<int>(error)));
  }

  // The first Administrators entry decides; only its deny-only bit counts.
  const auto* list = static_cast<const TOKEN_GROUPS*>(groups.get());
  for (DWORD i = 0; i < list->GroupCount; ++i) {
    if (!p.IsWellKnownSid(list->Groups[i].Sid, WinBuiltinAdministratorsSid)) continue;
    if (list->Groups[i].Attributes & SE_GROUP_USE_FOR_DENY_ONLY) {
      p.WriteNarrow(Stream::Out, "Administrators group is for DENY_ONLY\n");
      return kAdminDenyOnly;
    }
    p.WriteNarrow(Stream::Out, "Administrators group is present\n");
    return kOk;
  }
  p.WriteNarrow(Stream::Out, "Administrators group is not present\n");
  return kAdminAbsent;
}

}  // namespace acctmgr
