// -cug: is a user a member of a local group (by default Administrators)?
#include <string>

#include "operations.h"
#include "options.h"
#include "wt/owned.h"

namespace acctmgr {
namespace {

bool SameName(const std::wstring& a, const wchar_t* b) {
  return CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

// What -cug holds while it runs; everything is released when it ends.
struct GroupCheck {
  explicit GroupCheck(const Platform& p)
      : adminSid(p.FreeSid), groups(p.NetApiBufferFree), members(p.NetApiBufferFree) {}

  std::wstring user;
  std::wstring group;
  // Built only when needed.
  wt::Owned<decltype(&::FreeSid)> adminSid;
  // The group is the Administrators group by its identifier: defaulted, or
  // given as "*S-1-5-32-544".
  bool groupIsAdmins = false;
  wt::Owned<decltype(&::NetApiBufferFree)> groups;
  wt::Owned<decltype(&::NetApiBufferFree)> members;
};

// The well-known identifier of the Administrators group (S-1-5-32-544).
// Returns ERROR_SUCCESS or the platform's error code.
DWORD BuildAdminSid(const Platform& p, PSID* sid) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  if (!p.AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                  0, 0, 0, 0, 0, sid)) {
    *sid = nullptr;
    return GetLastError();
  }
  return ERROR_SUCCESS;
}

// The group's name on this computer (translated on a localised system).
// Returns ERROR_SUCCESS or the platform's error code.
DWORD GroupName(const Platform& p, PSID sid, std::wstring* group) {
  std::wstring name(2048, L'\0'), domain(2048, L'\0');
  DWORD nameChars = 2048, domainChars = 2048;
  SID_NAME_USE use;
  if (!p.LookupAccountSidW(nullptr, sid, &name[0], &nameChars, &domain[0], &domainChars, &use)) {
    return GetLastError();
  }
  *group = name.c_str();
  return ERROR_SUCCESS;
}

// A group given as "*S-1-5-32-544" (a SID string, as the system's own rights
// tools take it; no group name can begin with '*'): its name looked up as the
// defaulted group's is. Returns kOk or the exit code, its line printed: 301
// when memory ran short, 302 for a malformed identifier or one without a name.
int GroupBySid(Context& ctx, GroupCheck& check) {
  const Platform& p = ctx.p;
  PSID converted = nullptr;
  DWORD error = SidFromString(p, check.group.c_str() + 1, &converted);
  if (error != ERROR_SUCCESS) {
    ReportError(ctx, error);
    return error == ERROR_NOT_ENOUGH_MEMORY ? kAdminSidFailed : kAdminNameFailed;
  }
  const OwnedBlock sid(p.LocalFree, converted);
  error = GroupName(p, sid.get(), &check.group);
  if (error != ERROR_SUCCESS) {
    ReportError(ctx, error);
    return kAdminNameFailed;
  }
  check.groupIsAdmins = p.IsWellKnownSid(sid.get(), WinBuiltinAdministratorsSid) != FALSE;
  return kOk;
}

int Verdict(Context& ctx, const GroupCheck& check, bool found) {
  const wchar_t* args[] = {check.user.c_str(), check.group.c_str()};
  ShowMessage(ctx, found ? MSG_FOUND_USER_IN_GROUP : MSG_USER_NOT_IN_GROUP, args, Stream::Err);
  return found ? kOk : kNotInGroup;
}

// The user's groups are out of reach (no domain): look for the user among
// the group's members, then, for the Administrators group and the current
// user only, ask the calling thread's token.
int MemberFallback(Context& ctx, GroupCheck& check) {
  const Platform& p = ctx.p;
  DWORD read = 0, total = 0;
  DWORD_PTR resume = 0;
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status = p.NetLocalGroupGetMembers(
      nullptr, check.group.c_str(), 3, &buffer, MAX_PREFERRED_LENGTH, &read, &total, &resume);
  check.members.reset(buffer);
  if (status != NERR_Success) {
    ReportError(ctx, status);
    Verdict(ctx, check, false);
    return kMembersFailed;
  }
  const auto* list = static_cast<const LOCALGROUP_MEMBERS_INFO_3*>(check.members.get());
  for (DWORD i = 0; i < read; ++i) {
    if (list[i].lgrmi3_domainandname && SameName(check.user, list[i].lgrmi3_domainandname)) {
      return Verdict(ctx, check, true);
    }
  }

  const bool adminGroup = check.groupIsAdmins || SameName(check.group, L"Administrators");
  if (!adminGroup) return Verdict(ctx, check, false);
  std::wstring current;
  if (CurrentUserName(p, &current) != ERROR_SUCCESS || !SameName(check.user, current.c_str())) {
    return Verdict(ctx, check, false);
  }

  if (!check.adminSid) {
    const DWORD error = BuildAdminSid(p, check.adminSid.put());
    if (error != ERROR_SUCCESS) {
      ReportError(ctx, error);
      return Verdict(ctx, check, false);
    }
  }
  BOOL member = FALSE;
  const bool asked = p.CheckTokenMembership(nullptr, check.adminSid.get(), &member) != FALSE;
  return Verdict(ctx, check, asked && member);
}

}  // namespace

int CheckUserGroup(Context& ctx, int argc, wchar_t** argv) {
  const Platform& p = ctx.p;
  if (argc < 3) return kUsage;

  GroupCheck check(p);
  bool haveUser = false, haveGroup = false;
  int parse = kOk;
  for (int i = 2; i < argc && parse == kOk; ++i) {
    if (IsOption(argv[i], L'u')) {
      if (*OptionValue(argv[i]) == L'\0') {
        ReportError(ctx, MSG_NEED_USER);
        return kMissingValue;
      }
      check.user = OptionValue(argv[i]);
      haveUser = true;
    } else if (IsOption(argv[i], L'g')) {
      if (*OptionValue(argv[i]) == L'\0') {
        ReportError(ctx, MSG_NEED_GROUP);
        parse = kMissingValue;
      } else {
        check.group = OptionValue(argv[i]);
        haveGroup = true;
      }
    } else {
      parse = kUsage;
    }
  }
  if (!haveUser) return kUsage;
  if (parse != kOk) return parse;

  // The default group, under its local name (translated on localised
  // systems), or a group given by its identifier, under its name.
  if (!haveGroup) {
    DWORD error = BuildAdminSid(p, check.adminSid.put());
    if (error != ERROR_SUCCESS) {
      ReportError(ctx, error);
      return kAdminSidFailed;
    }
    error = GroupName(p, check.adminSid.get(), &check.group);
    if (error != ERROR_SUCCESS) {
      ReportError(ctx, error);
      return kAdminNameFailed;
    }
    check.groupIsAdmins = true;
  } else if (check.group[0] == L'*') {
    const int code = GroupBySid(ctx, check);
    if (code != kOk) return code;
  }

  DWORD read = 0, total = 0;
  LPBYTE buffer = nullptr;
  const NET_API_STATUS status =
      p.NetUserGetLocalGroups(nullptr, check.user.c_str(), 0, LG_INCLUDE_INDIRECT, &buffer,
                              MAX_PREFERRED_LENGTH, &read, &total);
  check.groups.reset(buffer);
  if (status == NERR_Success) {
    const auto* list = static_cast<const LOCALGROUP_USERS_INFO_0*>(check.groups.get());
    for (DWORD i = 0; i < read; ++i) {
      if (list[i].lgrui0_name && SameName(check.group, list[i].lgrui0_name)) {
        return Verdict(ctx, check, true);
      }
    }
    return Verdict(ctx, check, false);
  }
  if (status == ERROR_NO_SUCH_DOMAIN) return MemberFallback(ctx, check);

  // Every other answer is a failure with its own code and error line, and
  // still a verdict. The line names the returned code, not the last error.
  DWORD report = status;
  int code = kGroupsOther;
  switch (status) {
    case ERROR_ACCESS_DENIED:
      code = kGroupsAccessDenied;
      break;
    case ERROR_MORE_DATA:
      code = kGroupsMoreData;
      break;
    case NERR_InvalidComputer:
      report = MSG_INVALID_COMPUTER;
      code = kGroupsInvalidComputer;
      break;
    case NERR_UserNotFound:
      report = MSG_USER_NOT_FOUND;
      code = kGroupsUserNotFound;
      break;
    default:
      break;
  }
  ReportError(ctx, report);
  Verdict(ctx, check, false);
  return code;
}

}  // namespace acctmgr
