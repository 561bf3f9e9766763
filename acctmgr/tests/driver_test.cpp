// The driver: dispatch, usage, closing line.
#include <gtest/gtest.h>

#include "fake_platform.h"

namespace acctmgr_test {
namespace {

const wchar_t kUsageTail[] =
    L"         [-cupw|-cunpw [-dDomain] -uUserid [-pPassword | -s]]  ||\r\n"
    L"         [-cupw|-cunpw -uDomain\\Userid [-pPassword | -s]]  ||\r\n"
    L"         [-cug -u[Domain\\]UserID [-gGroup]]\r\n"
    L"         [-cuadmin]\r\n"
    L"-aur AddUserRights:\r\n"
    L"   Omitting userid adds rights for current logged on user.\r\n"
    L"   SeBatchLogonRight - (Logon as batch)\r\n"
    L"   SeTcbPrivilege - (Act as part of OS)\r\n"
    L"   SeIncreaseQuotaPrivilege - (Adjust Memory Quotas)\r\n"
    L"   SeAssignPrimaryTokenPrivilege - (Replace process level tokens)\r\n"
    L"   SeLockMemoryPrivilege - (Lock pages in memory)\r\n"
    L"   Note:  Rights are listed in winnt.h and ntsecapi.h\r\n"
    L"-cupw CheckUserPassWord batch OR -cunpw CheckUserNetworkPassWord network:\r\n"
    L"   Omitting password checks for userIDs with no password.\r\n"
    L"-cug CheckUserGroup:\r\n"
    L"   Omitting group checks for userIDs in Administrator group.\r\n"
    L"-cuadmin CheckUserAdmin:\r\n"
    L"   Checks that the current userid is running as Administrator (Vista, Server 2008 aware).\r\n\r\n";

std::wstring Usage(const std::wstring& program) {
  return program + L" [-aur -rUSER_RIGHT_STRING [-rUSER_RIGHT_STRING] [-u[Domain\\]Userid]] ||\r\n" + kUsageTail;
}

TEST(Driver, NoArgumentsPrintsTheUsageAndExitsWith1) {
  Script s;
  EXPECT_EQ(RunAcctmgr(s, {L"C:\\tools\\acctmgr.exe"}), 1);
  EXPECT_EQ(s.out, Usage(L"C:\\tools\\acctmgr.exe"));
  EXPECT_EQ(s.err, L"C:\\tools\\acctmgr.exe exiting with 1 exit code\r\n");
}

TEST(Driver, CommandWordsAreMatchedWholeAndWithCase) {
  for (const wchar_t* word : {L"-AUR", L"-aurx", L"-cu", L"aur", L"-Cuadmin", L"", L"-cupw", L"-cunpw"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(word)));
    Script s;
    s.tokenGroups = {{WinBuiltinAdministratorsSid, SE_GROUP_ENABLED}};
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", word, L"-ubob", L"-rR"}), 1);
    EXPECT_EQ(s.out, Usage(L"acctmgr"));
    EXPECT_EQ(s.err, L"acctmgr exiting with 1 exit code\r\n");
    EXPECT_EQ(s.addRightsCalls, 0);
  }
}

TEST(Driver, UsageFollowsTheCommandsOwnOutputOnCode1) {
  Script s;
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-g", L"-ubob"}), 1);
  EXPECT_EQ(s.out, Usage(L"acctmgr"));
  EXPECT_EQ(s.err,
            L"ERROR: -1073610688 A group name must follow the -g switch. Example: -gUsers\r\n"
            L"acctmgr exiting with 1 exit code\r\n");
}

TEST(Driver, TheVerboseVariableChangesNothing) {
  for (bool verbose : {false, true}) {
    Script s;
    s.verboseVariable = verbose;
    s.localGroups = {L"Administrators"};
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-ubob"}), 0);
    EXPECT_EQ(s.out, L"");
    EXPECT_EQ(s.err, L"Found user bob in group Administrators\r\nacctmgr exiting with 0 exit code\r\n");
  }
}

TEST(Driver, VeryLongArgumentsKeepTheirWholeMessageAndClosingLine) {
  const std::wstring program = L"C:\\" + std::wstring(5000, L'p') + L"\\acctmgr.exe";
  const std::wstring user = std::wstring(6000, L'u');
  Script s;
  s.localGroups = {L"Users"};
  EXPECT_EQ(RunAcctmgr(s, {program, L"-cug", L"-u" + user}), 300);
  EXPECT_EQ(s.err, L"Did not find user " + user + L" in group Administrators\r\n" + program +
                       L" exiting with 300 exit code\r\n");

  Script usage;
  EXPECT_EQ(RunAcctmgr(usage, {program}), 1);
  EXPECT_EQ(usage.out, Usage(program));
}

}  // namespace
}  // namespace acctmgr_test
