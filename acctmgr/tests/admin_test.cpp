// -cuadmin against the scripted platform.
#include <gtest/gtest.h>

#include "fake_platform.h"

namespace acctmgr_test {
namespace {

std::wstring Closing(int code) { return L"acctmgr exiting with " + std::to_wstring(code) + L" exit code\r\n"; }

TEST(CheckUserAdmin, TheFirstAdministratorsEntryDecides) {
  struct Case {
    const char* name;
    std::vector<TokenGroup> groups;
    int code;
    std::wstring out;
  };
  const DWORD enabled = SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_MANDATORY;
  const Case cases[] = {
      {"enabled", {{WinWorldSid, enabled}, {WinBuiltinAdministratorsSid, enabled | SE_GROUP_OWNER}}, 0,
       L"Administrators group is present\n"},
      {"present but not enabled still counts", {{WinBuiltinAdministratorsSid, 0}}, 0,
       L"Administrators group is present\n"},
      {"deny only", {{WinBuiltinAdministratorsSid, SE_GROUP_USE_FOR_DENY_ONLY}}, 400,
       L"Administrators group is for DENY_ONLY\n"},
      {"deny only whatever else is set", {{WinBuiltinAdministratorsSid, 0xFFFFFFFF}}, 400,
       L"Administrators group is for DENY_ONLY\n"},
      {"absent", {{WinWorldSid, enabled}, {WinBuiltinUsersSid, enabled}}, 401,
       L"Administrators group is not present\n"},
      {"no groups at all", {}, 401, L"Administrators group is not present\n"},
      {"listed twice, first deny only",
       {{WinBuiltinAdministratorsSid, SE_GROUP_USE_FOR_DENY_ONLY}, {WinBuiltinAdministratorsSid, enabled}}, 400,
       L"Administrators group is for DENY_ONLY\n"},
      {"listed twice, first enabled",
       {{WinBuiltinAdministratorsSid, enabled}, {WinBuiltinAdministratorsSid, SE_GROUP_USE_FOR_DENY_ONLY}}, 0,
       L"Administrators group is present\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Script s;
    s.tokenGroups = c.groups;
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cuadmin"}), c.code);
    EXPECT_EQ(s.out, c.out);
    EXPECT_EQ(s.err, Closing(c.code));
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(CheckUserAdmin, UsesTheThreadTokenWhenThereIsOne) {
  Script s;
  s.openThreadError = 0;
  s.openProcessError = ERROR_ACCESS_DENIED;  // must not be asked
  s.tokenGroups = {{WinBuiltinAdministratorsSid, SE_GROUP_ENABLED}};
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cuadmin"}), 0);
  EXPECT_TRUE(s.Balanced());
}

TEST(CheckUserAdmin, AnUnreadableTokenGives402WithItsLine) {
  struct Case {
    const char* name;
    void (*arrange)(Script&);
    std::wstring err;
  };
  const Case cases[] = {
      {"no token", [](Script& s) { s.openProcessError = ERROR_ACCESS_DENIED; },
       L"Cannot open my own token for TOKEN_READ error 5\n"},
      {"size query", [](Script& s) { s.sizeQueryError = ERROR_INVALID_HANDLE; },
       L"Unexpected error 6 from GetTokenInformation(query_size)\n"},
      {"no memory", [](Script& s) { s.failAllocCall = 1; },
       L"unable to allocate " + std::to_wstring(offsetof(TOKEN_GROUPS, Groups) + 2 * sizeof(SID_AND_ATTRIBUTES) + 16) +
           L" bytes\n"},
      {"read", [](Script& s) { s.readGroupsError = ERROR_ACCESS_DENIED; },
       L"Unexpected error 5 from GetTokenInformation\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Script s;
    s.tokenGroups = {{WinBuiltinAdministratorsSid, SE_GROUP_ENABLED}};
    c.arrange(s);
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cuadmin", L"ignored", L"-u"}), 402);
    EXPECT_EQ(s.out, L"");
    EXPECT_EQ(s.err, c.err + Closing(402));
    EXPECT_TRUE(s.Balanced());
  }
}

}  // namespace
}  // namespace acctmgr_test
