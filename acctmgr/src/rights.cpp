// -aur: grants user rights to an account in the local security policy.
#include <cwchar>
#include <string>

#include "operations.h"
#include "options.h"
#include "wt/owned.h"

namespace acctmgr {

DWORD CurrentUserName(const Platform& p, std::wstring* name) {
  std::wstring buffer(257, L'\0');
  ULONG size = static_cast<ULONG>(buffer.size());
  if (!p.GetUserNameExW(NameSamCompatible, &buffer[0], &size)) {
    const DWORD error = GetLastError();
    // A name longer than the usual buffer: the size needed came back.
    if (error != ERROR_MORE_DATA || size <= buffer.size()) return error;
    buffer.assign(size, L'\0');
    if (!p.GetUserNameExW(NameSamCompatible, &buffer[0], &size)) return GetLastError();
  }
  buffer.resize(size);  // on success size is the length without the terminator
  *name = buffer;
  return ERROR_SUCCESS;
}

DWORD SidFromString(const Platform& p, const wchar_t* text, PSID* sid) {
  *sid = nullptr;
  if (*text == L'\0') return ERROR_INVALID_SID;
  if (!p.ConvertStringSidToSidW(text, sid)) {
    *sid = nullptr;
    return GetLastError();
  }
  return ERROR_SUCCESS;
}

namespace {

// The account's security identifier into *sid (a block the caller releases
// through LocalFree). "*S-1-5-19" gives the identifier itself, as a SID
// string, the form the system's own rights tools take: it names the account
// on every system, where a well-known account's name is translated on a
// localised one. No account name can begin with '*'. Returns kOk or the exit
// code, its lines printed.
int AccountSid(Context& ctx, const std::wstring& account, OwnedBlock* sid) {
  const Platform& p = ctx.p;
  if (account[0] == L'*') {
    PSID converted = nullptr;
    const DWORD error = SidFromString(p, account.c_str() + 1, &converted);
    if (error != ERROR_SUCCESS) {
      ReportError(ctx, error);
      ReportError(ctx, MSG_GETSID_FAILED);
      return error == ERROR_NOT_ENOUGH_MEMORY ? kNoMemorySid : kNoSid;
    }
    sid->reset(converted);
    return kOk;
  }

  // Else the name is looked up, into a block grown to the size the lookup
  // asks for. The domain buffer grows the same way: a lookup that wants a
  // longer domain name also fails with ERROR_INSUFFICIENT_BUFFER, and growing
  // only the identifier would ask again forever.
  DWORD sidSize = 32;
  DWORD domainChars = 1024;
  for (;;) {
    sid->reset(p.LocalAlloc(LPTR, sidSize));
    if (!*sid) {
      ReportError(ctx, GetLastError());
      ReportError(ctx, MSG_GETSID_FAILED);
      return kNoMemorySid;
    }
    std::wstring domain(domainChars, L'\0');
    DWORD askedSid = sidSize;
    DWORD askedDomain = domainChars;
    SID_NAME_USE use;
    if (p.LookupAccountNameW(nullptr, account.c_str(), sid->get(), &askedSid, &domain[0],
                             &askedDomain, &use)) {
      break;
    }
    const DWORD error = GetLastError();
    const bool grows = askedSid > sidSize || askedDomain > domainChars;
    if (error != ERROR_INSUFFICIENT_BUFFER || !grows) {
      ReportError(ctx, error);
      ReportError(ctx, MSG_GETSID_FAILED);
      return kNoSid;
    }
    sid->reset();
    if (askedSid > sidSize) sidSize = askedSid;
    if (askedDomain > domainChars) domainChars = askedDomain;
  }
  return kOk;
}

}  // namespace

int AddUserRights(Context& ctx, int argc, wchar_t** argv) {
  const Platform& p = ctx.p;

  // 1. The account: the first -u option, else the current user.
  std::wstring account;
  bool named = false;
  for (int i = 2; i < argc; ++i) {
    if (!IsOption(argv[i], L'u')) continue;
    if (*OptionValue(argv[i]) == L'\0') {
      ReportError(ctx, MSG_NEED_USER);
      return kMissingValue;
    }
    account = OptionValue(argv[i]);
    named = true;
    break;
  }
  if (!named) {
    const DWORD error = CurrentUserName(p, &account);
    if (error != ERROR_SUCCESS) {
      ReportError(ctx, error);
      return kNoCurrentUser;
    }
  }

  // 2. Progress line.
  const wchar_t* accountArg[] = {account.c_str()};
  ShowMessage(ctx, MSG_ADDING_RIGHTS_FOR, accountArg, Stream::Err);

  // 3. The account's security identifier.
  OwnedBlock sid(p.LocalFree);
  const int found = AccountSid(ctx, account, &sid);
  if (found != kOk) return found;

  // 4. The local policy.
  wt::Owned policy(p.LsaClose);
  LSA_OBJECT_ATTRIBUTES attributes = {};
  NTSTATUS status = p.LsaOpenPolicy(nullptr, &attributes,
                                    POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES, policy.put());
  if (status != 0) {
    policy.release();  // a failed open hands nothing out
    ReportError(ctx, p.LsaNtStatusToWinError(status));
    ReportError(ctx, MSG_GETPOLICY_FAILED);
    return kNoPolicy;
  }

  // 5. How many rights.
  ULONG count = 0;
  for (int i = 2; i < argc; ++i) {
    if (IsOption(argv[i], L'r')) ++count;
  }
  if (count == 0) {
    ReportError(ctx, MSG_NO_RIGHTS);
    return kMissingValue;
  }

  // 6. The rights array; its strings point into the arguments.
  wt::Owned rights(p.LocalFree, p.LocalAlloc(LPTR, sizeof(LSA_UNICODE_STRING) * count));
  if (!rights) {
    ReportError(ctx, GetLastError());
    return kNoMemoryRights;
  }
  auto* entries = static_cast<LSA_UNICODE_STRING*>(rights.get());

  // 7. Fill it. An empty -r grants nothing, not even the rights before it.
  ULONG next = 0;
  for (int i = 2; i < argc; ++i) {
    if (!IsOption(argv[i], L'r')) continue;
    wchar_t* name = argv[i] + 2;
    const size_t length = std::wcslen(name);
    if (length == 0) {
      ReportError(ctx, MSG_NEED_RIGHT);
      return kMissingValue;
    }
    // The counted string holds at most 32766 characters; a command line
    // cannot carry a longer one, but a cut name must never be granted.
    if (length > 32766) {
      ReportError(ctx, ERROR_INVALID_PARAMETER);
      return kMissingValue;
    }
    const wchar_t* rightArg[] = {name};
    ShowMessage(ctx, MSG_ADDING_RIGHT, rightArg, Stream::Err);
    entries[next].Length = static_cast<USHORT>(length * sizeof(wchar_t));
    entries[next].MaximumLength = static_cast<USHORT>(length * sizeof(wchar_t) + sizeof(wchar_t));
    entries[next].Buffer = name;
    ++next;
  }

  // 8. All rights in one call: all are added or none.
  status = p.LsaAddAccountRights(policy.get(), sid.get(), entries, count);
  if (status != 0) {
    ReportError(ctx, p.LsaNtStatusToWinError(status));
    return kGrantFailed;
  }
  return kOk;
}

}  // namespace acctmgr
