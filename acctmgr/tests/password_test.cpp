// -cupw and -cunpw against the scripted platform; encoded passwords through
// the stand-in toolkit (vqmk.dll beside this test program).
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "wt/syserror.h"
#include "wttest/process.h"

namespace acctmgr_test {
namespace {

using Args = std::vector<std::wstring>;

std::wstring ErrorLine(DWORD code, const std::wstring& arg = L"") {
  const std::wstring text = wt::SystemMessageW(code);
  return L"ERROR: " + std::to_wstring(code) + L" " + (arg.empty() ? L"" : arg + L" : ") + text;
}
std::wstring Closing(int code) {
  return L"acctmgr exiting with " + std::to_wstring(code) + L" exit code\r\n";
}
int Check(Script& s, Args args) {
  args.insert(args.begin(), L"acctmgr");
  return RunAcctmgr(s, args);
}
const std::wstring kSecret = L"-p{007300650063007200650074}";  // "secret" for the stand-in

TEST(CheckPassword, RefusedLogonsHaveTheirCodeAndTheSystemText) {
  for (const auto& [error, code] : {std::pair<DWORD, int>{ERROR_LOGON_FAILURE, 215},
                                    {ERROR_LOGON_TYPE_NOT_GRANTED, 216},
                                    {ERROR_ACCOUNT_DISABLED, 217}}) {
    Script s;
    s.logonError = error;
    EXPECT_EQ(Check(s, {L"-cupw", L"-uCORP\\bob", L"-psecret"}), code);
    EXPECT_EQ(s.err, ErrorLine(error) + Closing(code));
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(CheckPassword, EachUserFormLogsOnWithItsDomainAndChecksOnlyANamedOne) {
  const std::pair<Args, std::wstring> cases[] = {
      // user|domain|password|logon type|token queries of the domain check
      {{L"-cupw", L"-ubob", L"-dCORP", L"-pp"}, L"bob|CORP|p|4|2"},
      {{L"-cunpw", L"-uCORP\\bob", L"-dX", L"-pp"}, L"bob|CORP|p|3|2"},  // -d is ignored
      {{L"-cupw", L"-uA\\CORP\\bob", L"-pp"}, L"bob|A\\CORP|p|4|2"},     // the last backslash
      {{L"-cupw", L"-ubob@corp.example", L"-dX", L"-pp"}, L"bob@corp.example|(null)|p|4|0"},
      {{L"-cupw", L"-u\\bob", L"-pp"}, L"bob||p|4|0"},
      {{L"-cupw", L"-uCORP\\bob"}, L"bob|CORP|(null)|4|2"},
  };
  for (const auto& [args, expected] : cases) {
    Script s;
    const size_t from = expected.find(L'|') + 1;
    s.accountDomain = expected.substr(from, expected.find(L'|', from) - from);
    EXPECT_EQ(Check(s, args), 0);
    EXPECT_EQ(s.logonUser + L"|" + s.logonDomain + L"|" + s.logonPassword + L"|" +
                  std::to_wstring(s.logonType) + L"|" + std::to_wstring(s.userQueries),
              expected);
    EXPECT_EQ(s.err, Closing(0));
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(CheckPassword, TheDomainCheckComparesTextAndFailsWith218) {
  const std::pair<void (*)(Script&), int> cases[] = {
      {[](Script& s) { s.accountDomain = L"corp"; }, 0},  // case does not matter
      {[](Script& s) { s.accountDomain = L"corp.example.com"; }, 218},
      {[](Script& s) { s.userSizeError = ERROR_INVALID_HANDLE; }, 218},  // domain unknown
      {[](Script& s) { s.failAllocCall = 2; }, 218},
      {[](Script& s) { s.readUserError = ERROR_ACCESS_DENIED; }, 218},
      {[](Script& s) { s.failAllocCall = 3; }, 218},
      {[](Script& s) { s.lookupUserError = ERROR_NONE_MAPPED; }, 218},
  };
  for (const auto& [arrange, code] : cases) {
    Script s;
    arrange(s);
    EXPECT_EQ(Check(s, {L"-cupw", L"-uCORP\\bob", L"-ps"}), code);
    const bool mismatch = s.accountDomain == L"corp.example.com";
    EXPECT_EQ(
        s.err,
        (mismatch ? L"Domain not correct.  Searching for CORP, logged on to corp.example.com\n"
                  : L"") +
            Closing(code));
    EXPECT_TRUE(s.Balanced());
  }
}

TEST(CheckPassword, MissingUserAndDomainWinOverParseErrorsWhichWinOverTheLogon) {
  const std::wstring user =
      L"ERROR: -1073610689 A user name must follow the -u switch. Example: -uJohnDoe\r\n";
  const std::wstring domain =
      L"ERROR: -1073610687 A domain name must follow the -d switch. Example: -dMyDomain\r\n";
  const std::wstring password =
      L"ERROR: -1073610685 A password must follow the -p switch. Example: -pMypassword\r\n";
  const struct {
    Args args;
    int code;
    std::wstring lines;
  } cases[] = {
      {{L"-cupw"}, 1, L""},
      {{L"-cupw", L"-dCORP", L"-p", L"-x"}, 1, password},  // no user
      {{L"-cupw", L"-ubob", L"-p"}, 219, password},        // no domain
      {{L"-cupw", L"-u", L"-dCORP"}, 2, user},
      {{L"-cupw", L"-uCORP\\bob", L"-p", L"-x"}, 1, password},  // the later code stands
      {{L"-cunpw", L"-uCORP\\bob", L"-x", L"-p", L"-d"}, 2, password + domain},
  };
  for (const auto& c : cases) {
    Script s;
    EXPECT_EQ(Check(s, c.args), c.code);
    EXPECT_EQ(s.err, c.lines + Closing(c.code));
    EXPECT_EQ(s.logonCalls, 0);
  }
  Script noMemory;  // for the domain of Domain\Userid
  noMemory.failAllocCall = 1;
  EXPECT_EQ(Check(noMemory, {L"-cupw", L"-uCORP\\bob", L"-dX"}), 204);
}

TEST(CheckPassword, StandardInputGivesOneLineAndIsWipedRightAfterTheLogon) {
  const std::tuple<std::wstring, Args, std::wstring> cases[] = {
      {L"secret\nnext\n", {L"-s"}, L"secret"},
      {L"secret\nnext", {L"-sx", L"-s"}, L"next"},
      {L"", {L"-pgiven", L"-s"}, L"given"},  // at end of input the earlier password stays
      {std::wstring(3000, L'a') + L"\n", {L"-s"}, std::wstring(2047, L'a')},
  };
  for (const auto& [input, options, password] : cases) {
    Script s;
    s.input = input;
    Args args = {L"-cupw", L"-uCORP\\bob"};
    args.insert(args.end(), options.begin(), options.end());
    EXPECT_EQ(Check(s, args), 0);
    EXPECT_EQ(s.logonPassword, password);
    EXPECT_EQ(s.passwordWipedAfterLogon, !input.empty());  // a -p password stays as it was
  }
  Script bare;  // read during the parse, before the domain rule ends the run
  bare.input = L"secret\nnext\n";
  EXPECT_EQ(Check(bare, {L"-cupw", L"-ubob", L"-s"}), 219);
  EXPECT_EQ(bare.inputRead, 7u);
}

// The real stand-in toolkit, found through VQMK in this program's folder.
Script WithToolkit() {
  Script s;
  std::wstring folder = wttest::BinaryDirectory();
  folder.pop_back();  // its trailing backslash
  s.env[L"VQMK"] = L";" + folder + L";";
  return s;
}

TEST(CheckPassword, AnEncodedPasswordIsDecodedAndTheCopyWipedAfterTheLogon) {
  Script s = WithToolkit();
  EXPECT_EQ(Check(s, {L"-cupw", L"-uCORP\\bob", kSecret}), 0);
  EXPECT_EQ(s.logonPassword, L"secret");
  EXPECT_TRUE(s.passwordWipedAfterLogon);
  EXPECT_EQ(s.err, L"Using TEV from C:\\TEV\\core\\tevext\r\n" + Closing(0));
  EXPECT_EQ(s.env[L"VQPATH"], L"C:\\TEV\\core\\tevext");
  EXPECT_TRUE(s.Balanced());
  // The current folder was out of the search before the first library.
  EXPECT_EQ(s.searchPathMode, 0x8001u);
  EXPECT_EQ(s.dllDirectory, L"");
  EXPECT_GT(s.libraryLoads, 0);
  EXPECT_EQ(s.unsafeLoads, 0);
}

TEST(CheckPassword, ToolkitFailuresOnlyTheSeamReaches) {
  // With \core\tevext: 1024 characters, refused; one less fits.
  const std::wstring root = L"C:\\" + std::wstring(1009, L'r');
  const struct {
    void (*arrange)(Script&, const std::wstring&);
    int code;
    std::wstring err;
  } cases[] = {
      {[](Script& s, auto&) { s.failAllocCall = 2; }, 205,
       L"Using TEV from C:\\TEV\\core\\tevext\r\n" + ErrorLine(ERROR_NOT_ENOUGH_MEMORY)},
      {[](Script& s, auto&) { s.setEnvError = ERROR_NOT_ENOUGH_MEMORY; }, 214, L""},
      {[](Script& s, auto& r) { s.installRoot = r; }, 214, L""},
      {[](Script& s, auto& r) { s.installRoot = r.substr(1); }, 0,
       L"Using TEV from " + root.substr(1) + L"\\core\\tevext\r\n"},
      {[](Script& s, auto&) { s.installVersion = L""; }, 0,  // the product key itself
       L"Using TEV from C:\\TEV\\core\\tevext\r\n"},
  };
  for (const auto& c : cases) {
    Script s = WithToolkit();
    c.arrange(s, root);
    EXPECT_EQ(Check(s, {L"-cupw", L"-ubob@corp", kSecret}), c.code);
    EXPECT_EQ(s.err, c.err + Closing(c.code));
    EXPECT_EQ(s.logonCalls, c.code == 0 ? 1 : 0);
    EXPECT_TRUE(s.Balanced());
  }
}

}  // namespace
}  // namespace acctmgr_test
