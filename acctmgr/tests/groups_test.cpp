// -cug against the scripted platform.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "wt/syserror.h"
#include "wttest/platform.h"

namespace acctmgr_test {
namespace {

// A code the system has no text for still ends its line.
std::wstring ErrorLine(DWORD code) {
  const std::wstring text = wt::SystemMessageW(code);
  return L"ERROR: " + std::to_wstring(code) + L" " + (text.empty() ? L"\r\n" : text);
}
std::wstring Found(const std::wstring& u, const std::wstring& g) {
  return L"Found user " + u + L" in group " + g + L"\r\n";
}
std::wstring NotFound(const std::wstring& u, const std::wstring& g) {
  return L"Did not find user " + u + L" in group " + g + L"\r\n";
}
std::wstring Closing(int code) {
  return L"acctmgr exiting with " + std::to_wstring(code) + L" exit code\r\n";
}

TEST(CheckUserGroup, FindsTheUserInTheDefaultGroupUnderItsLocalName) {
  Script s;
  s.adminGroupName = L"Administratoren";
  s.localGroups = {L"Benutzer", L"ADMINISTRATOREN"};
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-ualice"}), 0);
  EXPECT_EQ(s.localGroupsUser, L"alice");
  EXPECT_EQ(s.err, Found(L"alice", L"Administratoren") + Closing(0));
  EXPECT_TRUE(s.Balanced());
}

TEST(CheckUserGroup, ANamedGroupIsComparedWholeAndWithoutCase) {
  Script s;
  s.localGroups = {L"Backup Operators", L"Users"};
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-uDOM\\bob", L"-gusers"}), 0);
  EXPECT_EQ(s.err, Found(L"DOM\\bob", L"users") + Closing(0));

  Script partial;
  partial.localGroups = {L"Users2", L"Use"};
  EXPECT_EQ(RunAcctmgr(partial, {L"acctmgr", L"-cug", L"-ubob", L"-gUsers"}), 300);
  EXPECT_EQ(partial.err, NotFound(L"bob", L"Users") + Closing(300));
  EXPECT_TRUE(partial.Balanced());
}

// "-g*S-1-5-32-544": the group by its identifier, checked under its local
// name; the Administrators group so given is the Administrators group for
// the token fallback too. Malformed or unknown identifiers give 302.
TEST(CheckUserGroup, AGroupGivenAsASidStringIsCheckedUnderItsLocalName) {
  struct Case {
    const wchar_t* group;
    void (*arrange)(Script&);
    int code;
    std::wstring err;  // before the closing line
  };
  const Case cases[] = {
      {L"-g*S-1-5-32-544", [](Script& s) { s.localGroups = {L"Administratoren"}; }, 0,
       Found(L"HOST\\alice", L"Administratoren")},
      {L"-g*S-1-5-32-544", [](Script& s) { s.localGroupsStatus = ERROR_NO_SUCH_DOMAIN; }, 0,
       Found(L"HOST\\alice", L"Administratoren")},
      {L"-gAdministratoren", [](Script& s) { s.localGroupsStatus = ERROR_NO_SUCH_DOMAIN; }, 300,
       NotFound(L"HOST\\alice", L"Administratoren")},
      {L"-g*S-1-5-32-545", nullptr, 302, ErrorLine(ERROR_NONE_MAPPED)},
      {L"-g*S-1-5-", nullptr, 302, ErrorLine(ERROR_INVALID_SID)},
      {L"-g*", nullptr, 302, ErrorLine(ERROR_INVALID_SID)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(wttest::Narrow(c.group)) + " code " + std::to_string(c.code));
    Script s;
    s.adminGroupName = L"Administratoren";
    if (c.arrange) c.arrange(s);
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-uHOST\\alice", c.group}), c.code);
    EXPECT_EQ(s.err, c.err + Closing(c.code));
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(CheckUserGroup, ParseRules) {
  struct Case {
    std::vector<std::wstring> args;
    int code;
    std::wstring errHead;  // before the closing line
  };
  const Case cases[] = {
      {{L"acctmgr", L"-cug"}, 1, L""},
      {{L"acctmgr", L"-cug", L"-u"},
       2,
       L"ERROR: -1073610689 A user name must follow the -u switch. Example: -uJohnDoe\r\n"},
      {{L"acctmgr", L"-cug", L"-ubob", L"-g"},
       2,
       L"ERROR: -1073610688 A group name must follow the -g switch. Example: -gUsers\r\n"},
      // An empty group before the user stops the parse before the user is seen.
      {{L"acctmgr", L"-cug", L"-g", L"-ubob"},
       1,
       L"ERROR: -1073610688 A group name must follow the -g switch. Example: -gUsers\r\n"},
      {{L"acctmgr", L"-cug", L"-ubob", L"-x"}, 1, L""},
      {{L"acctmgr", L"-cug", L"-gUsers"}, 1, L""},
      {{L"acctmgr", L"-cug", L"-ubob", L"-pw"}, 1, L""},
  };
  for (const auto& c : cases) {
    Script s;
    SCOPED_TRACE(testing::PrintToString(c.args.size()) + " args, code " + std::to_string(c.code));
    EXPECT_EQ(RunAcctmgr(s, c.args), c.code);
    EXPECT_EQ(s.err, c.errHead + Closing(c.code));
    EXPECT_EQ(s.out.empty(), c.code != 1);  // usage only for code 1
    EXPECT_TRUE(s.localGroupsUser.empty());
  }
}

TEST(CheckUserGroup, LaterOptionsReplaceEarlierOnesAndAnOptionIsItsFirstTwoCharacters) {
  Script s;
  s.localGroups = {L"roup"};
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-uann", L"-gX", L"-group", L"-ubob"}), 0);
  EXPECT_EQ(s.localGroupsUser, L"bob");
  EXPECT_EQ(s.err, Found(L"bob", L"roup") + Closing(0));
}

TEST(CheckUserGroup, DefaultGroupFailuresPrintNoVerdict) {
  Script sid;
  sid.allocateSidError = ERROR_NOT_ENOUGH_MEMORY;
  EXPECT_EQ(RunAcctmgr(sid, {L"acctmgr", L"-cug", L"-ubob"}), 301);
  EXPECT_EQ(sid.err, ErrorLine(ERROR_NOT_ENOUGH_MEMORY) + Closing(301));

  Script name;
  name.lookupSidError = ERROR_NONE_MAPPED;
  EXPECT_EQ(RunAcctmgr(name, {L"acctmgr", L"-cug", L"-ubob"}), 302);
  EXPECT_EQ(name.err, ErrorLine(ERROR_NONE_MAPPED) + Closing(302));
  EXPECT_TRUE(name.Balanced());
}

TEST(CheckUserGroup, EachGroupListingFailureHasItsCodeAndStillAVerdict) {
  struct Case {
    NET_API_STATUS status;
    int code;
    std::wstring errorLine;
  };
  const Case cases[] = {
      {ERROR_ACCESS_DENIED, 303, ErrorLine(ERROR_ACCESS_DENIED)},
      {ERROR_MORE_DATA, 304, ErrorLine(ERROR_MORE_DATA)},
      {NERR_InvalidComputer, 305,
       L"ERROR: -1073610694 NetUserGetLocalGroups failed: Invalid Computer\r\n"},
      {NERR_UserNotFound, 306,
       L"ERROR: -1073610693 NetUserGetLocalGroups failed: User Not Found\r\n"},
      {ERROR_NOT_ENOUGH_MEMORY, 307, ErrorLine(ERROR_NOT_ENOUGH_MEMORY)},
      {NERR_GroupNotFound, 307, ErrorLine(NERR_GroupNotFound)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.status);
    Script s;
    s.localGroupsStatus = c.status;
    s.localGroups = {L"Administrators"};  // the partial list that comes with 234 is not searched
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-ubob"}), c.code);
    EXPECT_EQ(s.err, c.errorLine + NotFound(L"bob", L"Administrators") + Closing(c.code));
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(CheckUserGroup, WithoutADomainTheMembersAreSearchedByQualifiedName) {
  Script s;
  s.localGroupsStatus = ERROR_NO_SUCH_DOMAIN;
  s.members = {L"HOST\\carol", L"CORP\\Bob"};
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-ucorp\\bob", L"-gStaff"}), 0);
  EXPECT_EQ(s.membersGroup, L"Staff");
  EXPECT_EQ(s.err, Found(L"corp\\bob", L"Staff") + Closing(0));
  EXPECT_TRUE(s.Balanced());

  // The bare name matches no qualified member.
  Script bare;
  bare.localGroupsStatus = ERROR_NO_SUCH_DOMAIN;
  bare.members = {L"CORP\\bob"};
  EXPECT_EQ(RunAcctmgr(bare, {L"acctmgr", L"-cug", L"-ubob", L"-gStaff"}), 300);
  EXPECT_EQ(bare.err, NotFound(L"bob", L"Staff") + Closing(300));
  EXPECT_EQ(bare.checkMembershipCalls, 0);
}

TEST(CheckUserGroup, MemberListingFailureGives308) {
  Script s;
  s.localGroupsStatus = ERROR_NO_SUCH_DOMAIN;
  s.membersStatus = NERR_GroupNotFound;
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-ubob", L"-gStaff"}), 308);
  EXPECT_EQ(s.err, ErrorLine(NERR_GroupNotFound) + NotFound(L"bob", L"Staff") + Closing(308));
  EXPECT_TRUE(s.Balanced());
}

TEST(CheckUserGroup, TokenDecidesOnlyForTheAdministratorsGroupAndTheCurrentUser) {
  struct Case {
    const char* name;
    std::vector<std::wstring> args;
    BOOL member;
    bool membershipOk;
    int code;
    int membershipCalls;
  };
  const Case cases[] = {
      {"defaulted group, current user, member",
       {L"acctmgr", L"-cug", L"-uHOST\\alice"},
       TRUE,
       true,
       0,
       1},
      {"named administrators any case",
       {L"acctmgr", L"-cug", L"-uhost\\ALICE", L"-gadministrators"},
       TRUE,
       true,
       0,
       1},
      {"token says no", {L"acctmgr", L"-cug", L"-uHOST\\alice"}, FALSE, true, 300, 1},
      {"membership call fails", {L"acctmgr", L"-cug", L"-uHOST\\alice"}, TRUE, false, 300, 1},
      {"another user", {L"acctmgr", L"-cug", L"-uHOST\\bob"}, TRUE, true, 300, 0},
      {"bare name of the current user", {L"acctmgr", L"-cug", L"-ualice"}, TRUE, true, 300, 0},
      {"another group",
       {L"acctmgr", L"-cug", L"-uHOST\\alice", L"-gPower Users"},
       TRUE,
       true,
       300,
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Script s;
    s.localGroupsStatus = ERROR_NO_SUCH_DOMAIN;
    s.members = {L"HOST\\Administrator"};
    s.isMember = c.member;
    s.checkMembershipOk = c.membershipOk;
    EXPECT_EQ(RunAcctmgr(s, c.args), c.code);
    EXPECT_EQ(s.checkMembershipCalls, c.membershipCalls);
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(CheckUserGroup, NamedAdministratorsGroupBuildsItsIdentifierForTheToken) {
  Script s;
  s.localGroupsStatus = ERROR_NO_SUCH_DOMAIN;
  s.allocateSidError = ERROR_NOT_ENOUGH_MEMORY;
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-uHOST\\alice", L"-gAdministrators"}), 300);
  EXPECT_EQ(s.err, ErrorLine(ERROR_NOT_ENOUGH_MEMORY) +
                       NotFound(L"HOST\\alice", L"Administrators") + Closing(300));
  EXPECT_EQ(s.checkMembershipCalls, 0);
}

TEST(CheckUserGroup, CurrentUserUnknownCountsAsNotFound) {
  Script s;
  s.localGroupsStatus = ERROR_NO_SUCH_DOMAIN;
  s.userNameError = ERROR_NO_SUCH_DOMAIN;
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-uHOST\\alice"}), 300);
  EXPECT_EQ(s.err, NotFound(L"HOST\\alice", L"Administrators") + Closing(300));
}

}  // namespace
}  // namespace acctmgr_test
