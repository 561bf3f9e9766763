// -cuadmin: does this process's token hold the Administrators group, and is
// it usable or there for deny only (a filtered token under UAC)?
#include "operations.h"
#include "wt/output.h"

namespace acctmgr {
namespace {

struct Token {
  const Platform& p;
  HANDLE handle = nullptr;
  ~Token() {
    if (handle) p.CloseHandle(handle);
  }
};

struct Buffer {
  const Platform& p;
  void* ptr = nullptr;
  ~Buffer() {
    if (ptr) p.LocalFree(ptr);
  }
};

}  // namespace

int CheckUserAdmin(Context& ctx) {
  const Platform& p = ctx.p;
  auto fail = [&p](const std::string& line) {
    p.WriteNarrow(Stream::Err, line);
    return kTokenUnreadable;
  };

  // The thread's own token when it impersonates, else the process token.
  Token token{p};
  if (!p.OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token.handle)) {
    token.handle = nullptr;
    if (!p.OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token.handle)) {
      const DWORD error = GetLastError();
      token.handle = nullptr;
      return fail(wt::FormatA("Cannot open my own token for TOKEN_READ error %d\n", static_cast<int>(error)));
    }
  }

  DWORD size = 0;
  const BOOL sized = p.GetTokenInformation(token.handle, TokenGroups, nullptr, 0, &size);
  const DWORD sizeError = sized ? ERROR_SUCCESS : GetLastError();
  if (sizeError != ERROR_INSUFFICIENT_BUFFER) {
    return fail(wt::FormatA("Unexpected error %d from GetTokenInformation(query_size)\n",
                            static_cast<int>(sizeError)));
  }

  Buffer groups{p};
  groups.ptr = p.LocalAlloc(LPTR, size);
  if (!groups.ptr) {
    return fail(wt::FormatA("unable to allocate %d bytes\n", static_cast<int>(size)));
  }
  if (!p.GetTokenInformation(token.handle, TokenGroups, groups.ptr, size, &size)) {
    const DWORD error = GetLastError();
    return fail(wt::FormatA("Unexpected error %d from GetTokenInformation\n", static_cast<int>(error)));
  }

  // The first Administrators entry decides; only its deny-only bit counts.
  const auto* list = static_cast<const TOKEN_GROUPS*>(groups.ptr);
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
