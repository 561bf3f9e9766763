// The driver: dispatch, usage, closing line.
#include <gtest/gtest.h>

#include "expected_usage.h"
#include "fake_platform.h"

namespace acctmgr_test {
namespace {

TEST(Driver, NoArgumentsPrintsTheUsageAndExitsWith1) {
  Script s;
  EXPECT_EQ(RunAcctmgr(s, {L"C:\\tools\\acctmgr.exe"}), 1);
  EXPECT_EQ(s.out, ExpectedUsage(L"C:\\tools\\acctmgr.exe"));
  EXPECT_EQ(s.err, L"C:\\tools\\acctmgr.exe exiting with 1 exit code\r\n");
}

TEST(Driver, CommandWordsAreMatchedWholeAndWithCase) {
  for (const wchar_t* word : {L"-AUR", L"-aurx", L"-cu", L"aur", L"-Cuadmin", L"", L"-CUPW", L"-cupwx"}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(word)));
    Script s;
    s.tokenGroups = {{WinBuiltinAdministratorsSid, SE_GROUP_ENABLED}};
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", word, L"-ubob", L"-rR"}), 1);
    EXPECT_EQ(s.out, ExpectedUsage(L"acctmgr"));
    EXPECT_EQ(s.err, L"acctmgr exiting with 1 exit code\r\n");
    EXPECT_EQ(s.addRightsCalls, 0);
  }
}

TEST(Driver, UsageFollowsTheCommandsOwnOutputOnCode1) {
  Script s;
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cug", L"-g", L"-ubob"}), 1);
  EXPECT_EQ(s.out, ExpectedUsage(L"acctmgr"));
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
  EXPECT_EQ(usage.out, ExpectedUsage(program));
}

}  // namespace
}  // namespace acctmgr_test
