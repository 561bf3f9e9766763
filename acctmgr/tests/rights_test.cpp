// -aur against the scripted platform.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "wt/syserror.h"
#include "wttest/platform.h"

namespace acctmgr_test {
namespace {

const std::wstring kClosing0 = L"acctmgr exiting with 0 exit code\r\n";

// A code the system has no text for still ends its line.
std::wstring ErrorLine(DWORD code) {
  const std::wstring text = wt::SystemMessageW(code);
  return L"ERROR: " + std::to_wstring(code) + L" " + (text.empty() ? L"\r\n" : text);
}

TEST(AddUserRights, GrantsAllRightsInOneCallToTheNamedAccount) {
  Script s;
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-aur", L"-uDOM\\svc", L"-rSeBatchLogonRight",
                           L"-rSeTcbPrivilege"}),
            0);
  EXPECT_EQ(s.lookedUpName, L"DOM\\svc");
  EXPECT_EQ(s.openPolicyAccess, 0x810u);
  EXPECT_EQ(s.addRightsCalls, 1);
  EXPECT_EQ(s.grantedRights, (std::vector<std::wstring>{L"SeBatchLogonRight", L"SeTcbPrivilege"}));
  EXPECT_EQ(s.grantedMaxLengths, (std::vector<USHORT>{36, 30}));  // bytes, terminator counted
  EXPECT_EQ(s.err,
            L"Adding rights for DOM\\svc\r\n"
            L"Adding right SeBatchLogonRight\r\n"
            L"Adding right SeTcbPrivilege\r\n" +
                kClosing0);
  EXPECT_EQ(s.out, L"");
  EXPECT_TRUE(s.Balanced());
}

TEST(AddUserRights, DefaultsToTheCurrentUserAndPassesNamesUnchanged) {
  Script s;
  s.currentUser = L"HOST\\bob";
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-aur", L"-rsebatchlogonright", L"-rNoSuch Right"}), 0);
  EXPECT_EQ(s.lookedUpName, L"HOST\\bob");
  EXPECT_EQ(s.grantedRights, (std::vector<std::wstring>{L"sebatchlogonright", L"NoSuch Right"}));
}

TEST(AddUserRights, OnlyTheFirstUserOptionCounts) {
  Script s;
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-aur", L"-ufirst", L"-usecond", L"-rR"}), 0);
  EXPECT_EQ(s.lookedUpName, L"first");

  Script empty;
  EXPECT_EQ(RunAcctmgr(empty, {L"acctmgr", L"-aur", L"-u", L"-ulater", L"-rR"}), 2);
  EXPECT_EQ(empty.err,
            L"ERROR: -1073610689 A user name must follow the -u switch. Example: -uJohnDoe\r\n"
            L"acctmgr exiting with 2 exit code\r\n");
  EXPECT_EQ(empty.lookupSizesSeen.size(), 0u);
}

TEST(AddUserRights, NoRightsGivenEndsWithCode2AfterTheProgressLine) {
  Script s;
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-aur"}), 2);
  EXPECT_EQ(s.err,
            L"Adding rights for HOST\\alice\r\n"
            L"ERROR: -1073610695 No User Rights given.\r\n"
            L"acctmgr exiting with 2 exit code\r\n");
  EXPECT_EQ(s.out, L"");  // code 2 prints no usage
  EXPECT_EQ(s.addRightsCalls, 0);
  EXPECT_TRUE(s.Balanced());
}

TEST(AddUserRights, AnEmptyRightGrantsNothingEvenAfterValidOnes) {
  Script s;
  EXPECT_EQ(
      RunAcctmgr(s, {L"acctmgr", L"-aur", L"-rSeBatchLogonRight", L"-r", L"-rSeTcbPrivilege"}), 2);
  EXPECT_EQ(s.err,
            L"Adding rights for HOST\\alice\r\n"
            L"Adding right SeBatchLogonRight\r\n"
            L"ERROR: -1073610686 A rights name must follow the -r switch. Example: "
            L"-rSeBatchLogonRight\r\n"
            L"acctmgr exiting with 2 exit code\r\n");
  EXPECT_EQ(s.addRightsCalls, 0);
  EXPECT_TRUE(s.Balanced());
}

TEST(AddUserRights, IdentifierBufferGrowsToTheSizeTheLookupAsksFor) {
  Script s;
  s.sidBytesNeeded = 68;
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-aur", L"-rR"}), 0);
  EXPECT_EQ(s.lookupSizesSeen, (std::vector<DWORD>{32, 68}));
  EXPECT_TRUE(s.Balanced());
}

TEST(AddUserRights, ALongDomainNameGrowsTheDomainBufferInsteadOfLoopingForever) {
  Script s;
  s.domainCharsNeeded = 5000;
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-aur", L"-rR"}), 0);
  EXPECT_EQ(s.lookupSizesSeen.size(), 2u);
}

TEST(AddUserRights, FailuresMapToTheirCodesAndLines) {
  struct Case {
    const char* name;
    void (*arrange)(Script&);
    int code;
    std::wstring errTail;  // what follows the progress lines
    bool progress;
  };
  const Case cases[] = {
      {"current user unknown", [](Script& s) { s.userNameError = ERROR_NONE_MAPPED; }, 101,
       ErrorLine(ERROR_NONE_MAPPED), false},
      {"account unknown", [](Script& s) { s.lookupNameError = ERROR_NONE_MAPPED; }, 103,
       ErrorLine(ERROR_NONE_MAPPED) + L"ERROR: -1073610698 GetSid Failed!\r\n", true},
      {"no memory for the identifier", [](Script& s) { s.failAllocCall = 1; }, 106,
       ErrorLine(ERROR_NOT_ENOUGH_MEMORY) + L"ERROR: -1073610698 GetSid Failed!\r\n", true},
      {"policy refused", [](Script& s) { s.openPolicyStatus = static_cast<NTSTATUS>(0xC0000022); },
       104, ErrorLine(ERROR_ACCESS_DENIED) + L"ERROR: -1073610697 GetPolicyHanlde Failed!\r\n",
       true},
      {"no memory for the rights", [](Script& s) { s.failAllocCall = 2; }, 105,
       ErrorLine(ERROR_NOT_ENOUGH_MEMORY), true},
      {"grant refused", [](Script& s) { s.addRightsStatus = static_cast<NTSTATUS>(0xC0000060); },
       102, L"Adding right SeBatchLogonRight\r\n" + ErrorLine(ERROR_NO_SUCH_PRIVILEGE), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Script s;
    c.arrange(s);
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-aur", L"-rSeBatchLogonRight"}), c.code);
    const std::wstring progress = c.progress ? L"Adding rights for HOST\\alice\r\n" : L"";
    EXPECT_EQ(s.err, progress + c.errTail + L"acctmgr exiting with " + std::to_wstring(c.code) +
                         L" exit code\r\n");
    EXPECT_EQ(s.out, L"");
    EXPECT_TRUE(s.Balanced());
  }
}

// "*S-1-5-19" names the account by its identifier: converted, never looked
// up by name, so it works where the account's name is translated.
TEST(AddUserRights, AnAccountGivenAsASidStringIsConvertedNotLookedUp) {
  const std::wstring getSid = L"ERROR: -1073610698 GetSid Failed!\r\n";
  struct Case {
    const wchar_t* account;
    int code;
    const wchar_t* granted;
    std::wstring errTail;  // after "Adding rights for <account>"
  };
  const Case cases[] = {
      {L"*S-1-5-19", 0, L"S-1-5-19", L"Adding right SeServiceLogonRight\r\n"},
      {L"*S-1-5-", 103, L"", ErrorLine(ERROR_INVALID_SID) + getSid},
      {L"*", 103, L"", ErrorLine(ERROR_INVALID_SID) + getSid},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(wttest::Narrow(c.account));
    Script s;
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-aur", std::wstring(L"-u") + c.account,
                             L"-rSeServiceLogonRight"}),
              c.code);
    // An empty SID string is refused before the system is asked.
    EXPECT_EQ(s.sidStrings.size(), c.account[1] ? 1u : 0u);
    EXPECT_EQ(s.lookedUpName, L"");
    EXPECT_EQ(s.grantedSid, c.granted);
    EXPECT_EQ(s.err, std::wstring(L"Adding rights for ") + c.account + L"\r\n" + c.errTail +
                         L"acctmgr exiting with " + std::to_wstring(c.code) + L" exit code\r\n");
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(AddUserRights, ACurrentUserNameLongerThanTheUsualBufferIsStillFound) {
  Script s;
  s.currentUser = L"HOST\\" + std::wstring(400, L'u');
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-aur", L"-rR"}), 0);
  EXPECT_EQ(s.lookedUpName, s.currentUser);
}

}  // namespace
}  // namespace acctmgr_test
