// -cupw and -cunpw against the scripted platform; encoded passwords through
// the stand-in toolkit (vqmk.dll beside this test program).
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "wt/syserror.h"
#include "wttest/process.h"

namespace acctmgr_test {
namespace {

std::wstring ErrorLine(DWORD code, const std::wstring& arg = L"") {
  const std::wstring text = wt::SystemMessageW(code);
  return L"ERROR: " + std::to_wstring(code) + L" " + (arg.empty() ? L"" : arg + L" : ") +
         (text.empty() ? L"\r\n" : text);
}
std::wstring Closing(int code) {
  return L"acctmgr exiting with " + std::to_wstring(code) + L" exit code\r\n";
}
const std::wstring kSecret = L"{007300650063007200650074}";  // "secret" in the stand-in's encoding

TEST(CheckPassword, RefusedLogonsHaveTheirCodeAndTheSystemText) {
  const std::pair<DWORD, int> cases[] = {{ERROR_LOGON_FAILURE, 215},
                                         {ERROR_LOGON_TYPE_NOT_GRANTED, 216},
                                         {ERROR_ACCOUNT_DISABLED, 217}};
  for (const auto& [error, code] : cases) {
    Script s;
    s.logonError = error;
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cupw", L"-uCORP\\bob", L"-psecret"}), code);
    EXPECT_EQ(s.err, ErrorLine(error) + Closing(code));
    EXPECT_EQ(s.userQueries, 0);
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(CheckPassword, EachUserFormLogsOnWithItsDomain) {
  struct Case {
    std::vector<std::wstring> args;
    std::wstring user, domain, password;
    DWORD type;
    int domainChecks;
  };
  const Case cases[] = {
      {{L"-cupw", L"-ubob", L"-dCORP", L"-pp"}, L"bob", L"CORP", L"p", 4, 1},
      {{L"-cunpw", L"-uCORP\\bob", L"-dX", L"-pp"}, L"bob", L"CORP", L"p", 3, 1},  // -d ignored
      {{L"-cupw", L"-uA\\CORP\\bob", L"-pp"}, L"bob", L"A\\CORP", L"p", 4, 1},     // the last
                                                                                   // backslash
      {{L"-cupw", L"-ubob@corp.example", L"-dX", L"-pp"},
       L"bob@corp.example",
       L"(null)",
       L"p",
       4,
       0},
      {{L"-cupw", L"-u\\bob", L"-pp"}, L"bob", L"", L"p", 4, 0},  // empty domain: no check
      {{L"-cupw", L"-uCORP\\bob"}, L"bob", L"CORP", L"(null)", 4, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    Script s;
    s.accountDomain = c.domain;
    std::vector<std::wstring> args = {L"acctmgr"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(RunAcctmgr(s, args), 0);
    EXPECT_EQ(s.logonUser + L"|" + s.logonDomain + L"|" + s.logonPassword,
              c.user + L"|" + c.domain + L"|" + c.password);
    EXPECT_EQ(s.logonType, c.type);
    EXPECT_EQ(s.userQueries, 2 * c.domainChecks);
    EXPECT_EQ(s.err, Closing(0));
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(CheckPassword, TheDomainCheckComparesTextAndFailsWith218) {
  struct Case {
    const char* name;
    void (*arrange)(Script&);
    int code;
    std::wstring line;
  };
  const Case cases[] = {
      {"case only", [](Script& s) { s.accountDomain = L"corp"; }, 0, L""},
      {"other form", [](Script& s) { s.accountDomain = L"corp.example.com"; }, 218,
       L"Domain not correct.  Searching for CORP, logged on to corp.example.com\n"},
      {"no size to ask for", [](Script& s) { s.userSizeError = ERROR_INVALID_HANDLE; }, 0, L""},
      {"no memory for the user", [](Script& s) { s.failAllocCall = 2; }, 218, L""},
      {"user unreadable", [](Script& s) { s.readUserError = ERROR_ACCESS_DENIED; }, 218, L""},
      {"no memory for the names", [](Script& s) { s.failAllocCall = 3; }, 218, L""},
      {"lookup failed", [](Script& s) { s.lookupUserError = ERROR_NONE_MAPPED; }, 218, L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Script s;
    c.arrange(s);
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cupw", L"-uCORP\\bob", L"-ps"}), c.code);
    EXPECT_EQ(s.err, c.line + Closing(c.code));
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(CheckPassword, MissingUserAndDomainWinOverParseErrorsWhichWinOverTheLogon) {
  const std::wstring needUser =
      L"ERROR: -1073610689 A user name must follow the -u switch. Example: -uJohnDoe\r\n";
  const std::wstring needDomain =
      L"ERROR: -1073610687 A domain name must follow the -d switch. Example: -dMyDomain\r\n";
  const std::wstring needPassword =
      L"ERROR: -1073610685 A password must follow the -p switch. Example: -pMypassword\r\n";
  const std::pair<std::vector<std::wstring>, std::wstring> cases[] = {
      {{L"-cupw"}, L""},
      {{L"-cupw", L"-dCORP", L"-p", L"-x"}, needPassword},       // no user: 1
      {{L"-cupw", L"-ubob", L"-p"}, needPassword},               // no domain: 219
      {{L"-cupw", L"-u", L"-dCORP"}, needUser},                  // 2
      {{L"-cupw", L"-ubob", L"-d"}, needDomain},                 // 2
      {{L"-cupw", L"-uCORP\\bob", L"-p", L"-x"}, needPassword},  // the later code: 1
      {{L"-cunpw", L"-uCORP\\bob", L"-x", L"-p", L"-d"}, needPassword + needDomain},  // 2
  };
  const int codes[] = {1, 1, 219, 2, 2, 1, 2};
  for (size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    Script s;
    std::vector<std::wstring> args = {L"acctmgr"};
    args.insert(args.end(), cases[i].first.begin(), cases[i].first.end());
    EXPECT_EQ(RunAcctmgr(s, args), codes[i]);
    EXPECT_EQ(s.err, cases[i].second + Closing(codes[i]));
    EXPECT_EQ(s.out.empty(), codes[i] != 1);
    EXPECT_EQ(s.logonCalls, 0);
  }

  Script noMemory;  // the domain copy: 204, unless no domain is left at all
  noMemory.failAllocCall = 1;
  EXPECT_EQ(RunAcctmgr(noMemory, {L"acctmgr", L"-cupw", L"-uCORP\\bob", L"-dX"}), 204);
  EXPECT_EQ(noMemory.err, Closing(204));
  noMemory.failAllocCall = 2;  // the allocation count goes on
  EXPECT_EQ(RunAcctmgr(noMemory, {L"acctmgr", L"-cupw", L"-uCORP\\bob"}), 219);
}

TEST(CheckPassword, StandardInputGivesOneLineAndIsWipedRightAfterTheLogon) {
  struct Case {
    std::wstring input;
    std::vector<std::wstring> args;
    std::wstring password;
  };
  const Case cases[] = {
      {L"secret\nnext\n", {L"-s"}, L"secret"},
      {L"secret\nnext", {L"-sx", L"-s"}, L"next"},
      {L"", {L"-pgiven", L"-s"}, L"given"},  // at end of input the earlier password stays
      {std::wstring(3000, L'a') + L"\n", {L"-s"}, std::wstring(2047, L'a')},
  };
  for (const auto& c : cases) {
    Script s;
    s.input = c.input;
    std::vector<std::wstring> args = {L"acctmgr", L"-cupw", L"-uCORP\\bob"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(RunAcctmgr(s, args), 0);
    EXPECT_EQ(s.logonPassword, c.password);
    EXPECT_EQ(s.passwordWipedAfterLogon, c.args[0] != L"-pgiven");  // -p stays as it was
  }

  Script bare;  // the line is read during the parse, before the domain rule ends the run
  bare.input = L"secret\nnext\n";
  EXPECT_EQ(RunAcctmgr(bare, {L"acctmgr", L"-cupw", L"-ubob", L"-s"}), 219);
  EXPECT_EQ(bare.inputRead, 7u);
  EXPECT_EQ(bare.logonCalls, 0);
}

// The real stand-in toolkit, found through VQMK in this program's folder.
Script WithToolkit() {
  Script s;
  std::wstring folder = wttest::BinaryDirectory();
  folder.pop_back();
  s.env[L"VQMK"] = L";" + folder + L";";
  return s;
}

TEST(CheckPassword, AnEncodedPasswordIsDecodedAndTheCopyWipedAfterTheLogon) {
  Script s = WithToolkit();
  EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cupw", L"-uCORP\\bob", L"-p" + kSecret}), 0);
  EXPECT_EQ(s.logonPassword, L"secret");
  EXPECT_TRUE(s.passwordWipedAfterLogon);
  EXPECT_EQ(s.err, L"Using TEV from C:\\TEV\\core\\tevext\r\n" + Closing(0));
  EXPECT_EQ(s.env[L"VQPATH"], L"C:\\TEV\\core\\tevext");
  EXPECT_EQ(s.env.count(L"VQ_PATHLIST"), 0u);  // found through VQMK
  EXPECT_TRUE(s.Balanced());
}

TEST(CheckPassword, ToolkitFailuresOnlyTheSeamReaches) {
  const std::wstring using_ = L"Using TEV from C:\\TEV\\core\\tevext\r\n";
  struct Case {
    const char* name;
    void (*arrange)(Script&);
    int code;
    std::wstring err;
  };
  const Case cases[] = {
      {"working block", [](Script& s) { s.failAllocCall = 1; }, 200,
       using_ + L"ERROR: -1073610702 Could not load TEV VQ due to 'vqBoot Failure: Malloc Failure "
                L"boot options'!\r\n"},
      {"plain copy", [](Script& s) { s.failAllocCall = 2; }, 205,
       using_ + ErrorLine(ERROR_NOT_ENOUGH_MEMORY)},
      {"VQPATH not set", [](Script& s) { s.setEnvError = ERROR_NOT_ENOUGH_MEMORY; }, 214, L""},
      {"VQPATH too long", [](Script& s) { s.installRoot = L"C:\\" + std::wstring(1009, L'r'); },
       214,
       ErrorLine(ERROR_FILENAME_EXCED_RANGE, L"VQPATH")},  // 1024 characters and more are refused
      {"root read", [](Script& s) { s.installRoot = std::wstring(1024, L'r'); }, 213, L""},
      {"VQPATH just fits", [](Script& s) { s.installRoot = L"C:\\" + std::wstring(1008, L'r'); }, 0,
       L""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Script s = WithToolkit();
    c.arrange(s);
    EXPECT_EQ(RunAcctmgr(s, {L"acctmgr", L"-cupw", L"-ubob@corp", L"-p" + kSecret}), c.code);
    if (c.code != 0) {
      EXPECT_EQ(s.err, c.err + Closing(c.code));
    }
    EXPECT_EQ(s.logonCalls, c.code == 0 ? 1 : 0);
    EXPECT_TRUE(s.Balanced());
  }
}

}  // namespace
}  // namespace acctmgr_test
