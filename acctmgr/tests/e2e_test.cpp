// The real acctmgr.exe, started as a process under the test platform: exact
// bytes of both streams and the exit code.
//
// The program writes through the runtime's text-mode streams, so each line
// break of a catalogue text ("\r\n") reaches the pipe as "\r\r\n".
#include <windows.h>
#define SECURITY_WIN32
#include <gtest/gtest.h>
#include <security.h>

#include <optional>

#include "e2e_support.h"
#include "expected_usage.h"
#include "wttest/pe.h"
#include "wttest/platform.h"
#include "wttest/process.h"

namespace {

using acctmgr_test::Closing;
using acctmgr_test::OnPipe;
using wttest::JoinCommandLine;
using wttest::Narrow;

std::wstring Exe() { return wttest::ArchProgram(L"x86", L"acctmgr.exe"); }

wttest::ProcessResult RunAcctmgr(std::initializer_list<std::wstring> args,
                                 wttest::ProcessOptions o = {}) {
  return wttest::RunProcess(Exe(), JoinCommandLine(args), o);
}

std::string Usage(const std::wstring& program) {
  return OnPipe(acctmgr_test::ExpectedUsage(program));
}

std::wstring CurrentUser() {
  wchar_t name[512];
  ULONG size = 512;
  return GetUserNameExW(NameSamCompatible, name, &size) ? std::wstring(name, size) : std::wstring();
}

// An entry of the message table as the file stores it, before FormatMessageW
// turns each bare LF into CR LF; nullopt when the table has no such entry.
std::optional<std::wstring> StoredText(HMODULE module, DWORD id) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), RT_MESSAGETABLE);
  const auto* data =
      found ? static_cast<const BYTE*>(LockResource(LoadResource(module, found))) : nullptr;
  if (!data) return std::nullopt;
  const auto* table = reinterpret_cast<const MESSAGE_RESOURCE_DATA*>(data);
  for (DWORD b = 0; b < table->NumberOfBlocks; ++b) {
    const MESSAGE_RESOURCE_BLOCK& block = table->Blocks[b];
    if (id < block.LowId || id > block.HighId) continue;
    const BYTE* entry = data + block.OffsetToEntries;
    for (DWORD i = block.LowId; i < id; ++i) {
      entry += reinterpret_cast<const MESSAGE_RESOURCE_ENTRY*>(entry)->Length;
    }
    const auto* e = reinterpret_cast<const MESSAGE_RESOURCE_ENTRY*>(entry);
    if (!(e->Flags & MESSAGE_RESOURCE_UNICODE)) return std::nullopt;
    return std::wstring(reinterpret_cast<const wchar_t*>(e->Text));  // zero-padded
  }
  return std::nullopt;
}

TEST(AcctmgrProgram, IsA32BitConsoleProgramWithItsCatalogueAndOnlySystemImports) {
  const auto pe = wttest::ReadPe(Exe());
  ASSERT_TRUE(pe.valid);
  EXPECT_EQ(pe.machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(pe.subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
  // netapi32 and secur32 are bound when a command first needs them.
  const std::vector<std::string> system = {"ADVAPI32.dll", "KERNEL32.dll", "msvcrt.dll"};
  for (const auto& dll : pe.imports) {
    bool known = false;
    for (const auto& s : system)
      known = known || CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, dll.c_str(), -1, s.c_str(),
                                      -1) == CSTR_EQUAL;
    EXPECT_TRUE(known) << dll;
  }
  auto has = [&pe](WORD type) {
    return std::find(pe.resourceTypes.begin(), pe.resourceTypes.end(), type) !=
           pe.resourceTypes.end();
  };
  EXPECT_TRUE(has(11));   // RT_MESSAGETABLE
  EXPECT_FALSE(has(24));  // RT_MANIFEST: it must run with the caller's own token

  // The catalogue answers from the file itself, in US English.
  HMODULE module = LoadLibraryExW(Exe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  wchar_t text[256] = {};
  const DWORD n =
      FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_IGNORE_INSERTS, module,
                     0xC0020037, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text, 256, nullptr);
  EXPECT_EQ(n, 25u);
  EXPECT_STREQ(text, L"GetPolicyHanlde Failed!\r\n");

  // The file holds each text exactly: CR LF line ends, and CR LF LF after the
  // last usage line.
  EXPECT_EQ(StoredText(module, 0xC0020002), L"ERROR:\r\n");
  EXPECT_EQ(StoredText(module, 0xC0020015),
            L"   Checks that the current userid is running as Administrator (Vista, Server 2008 "
            L"aware).\r\n\n");
  EXPECT_EQ(StoredText(module, 0xC002003E), L"%1 exiting with %2 exit code\r\n");
  for (DWORD id = 0xC0020001; id <= 0xC0020043; ++id) {
    const auto stored = StoredText(module, id);
    if (!stored || id == 0xC0020015) continue;
    EXPECT_EQ(stored->find(L'\n'), stored->size() - 1) << std::hex << id;
    EXPECT_EQ(stored->find(L'\r'), stored->size() - 2) << std::hex << id;
  }
  FreeLibrary(module);
}

TEST(AcctmgrProgram, NoArgumentsPrintsTheUsageThenTheClosingLine) {
  const std::wstring program = Exe();  // invoked by its full path
  auto r = wttest::RunProcess(program, wttest::QuoteArgument(program));
  EXPECT_EQ(r.exitCode, 1u);
  EXPECT_EQ(r.out, Usage(program));
  EXPECT_EQ(r.err, Closing(program, 1));
}

TEST(AcctmgrProgram, ClosingLineNamesTheProgramExactlyAsInvoked) {
  for (const std::wstring argv0 : {L"acctmgr", L"..\\Odd Dir\\ACCTMGR.EXE", L"C:/x/acctmgr"}) {
    auto r = RunAcctmgr({argv0, L"-AUR"});
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.out, Usage(argv0));
    EXPECT_EQ(r.err, Closing(argv0, 1));
  }
}

TEST(AcctmgrProgram, EmptyOptionValuesEndWithCode2AndTheirLine) {
  struct Case {
    std::initializer_list<std::wstring> args;
    std::wstring line;
  };
  const Case cases[] = {
      {{L"acctmgr", L"-aur", L"-u", L"-rSeBatchLogonRight"},
       L"ERROR: -1073610689 A user name must follow the -u switch. Example: -uJohnDoe\r\n"},
      {{L"acctmgr", L"-cug", L"-u"},
       L"ERROR: -1073610689 A user name must follow the -u switch. Example: -uJohnDoe\r\n"},
      {{L"acctmgr", L"-cug", L"-ubob", L"-g"},
       L"ERROR: -1073610688 A group name must follow the -g switch. Example: -gUsers\r\n"},
  };
  for (const auto& c : cases) {
    auto r = RunAcctmgr(c.args);
    EXPECT_EQ(r.exitCode, 2u);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, OnPipe(c.line) + Closing(L"acctmgr", 2));
  }
}

TEST(AcctmgrProgram, PasswordChecksWithoutAnEncodedPasswordNeedNoInstallation) {
  wttest::ProcessOptions input;
  input.input = "secret\r\n";
  auto bare = RunAcctmgr({L"acctmgr", L"-cupw", L"-ubob", L"-s"}, input);
  EXPECT_EQ(bare.exitCode, 219u);  // no domain: no logon
  EXPECT_EQ(bare.out + bare.err, Closing(L"acctmgr", 219));

  auto plain = RunAcctmgr({L"acctmgr", L"-cunpw", L"-ubob@corp", L"-pplain"});
  EXPECT_EQ(plain.err.find("Using TEV"), std::string::npos);
  // Wine accepts any logon; on Windows the made-up account is refused.
  EXPECT_EQ(plain.exitCode, wttest::RunningUnderWine() ? 0u : 215u) << plain.err;
}

TEST(AcctmgrProgram, AdminCheckIgnoresFurtherWordsAndPrintsOneVerdict) {
  auto r = RunAcctmgr({L"acctmgr", L"-cuadmin", L"-x", L"more words"});
  switch (r.exitCode) {
    case 0:
      EXPECT_EQ(r.out, "Administrators group is present\r\n");
      break;
    case 400:
      EXPECT_EQ(r.out, "Administrators group is for DENY_ONLY\r\n");
      break;
    case 401:
      EXPECT_EQ(r.out, "Administrators group is not present\r\n");
      break;
    default:
      ADD_FAILURE() << "exit code " << r.exitCode << " " << r.err;
  }
  EXPECT_EQ(r.err, Closing(L"acctmgr", static_cast<int>(r.exitCode)));
}

TEST(AcctmgrProgram, GroupOptionIsRecognisedByItsFirstTwoCharacters) {
  // "-group" is -g with the value "roup", a group nobody is in.
  const std::wstring user = CurrentUser();
  ASSERT_FALSE(user.empty());
  auto r = RunAcctmgr({L"acctmgr", L"-cug", L"-u" + user, L"-group"});
  EXPECT_EQ(r.exitCode, 300u);
  EXPECT_EQ(r.err, OnPipe(L"Did not find user " + user + L" in group roup\r\n") +
                       Closing(L"acctmgr", 300));
}

TEST(AcctmgrProgram, GroupCheckOfTheCurrentUserGivesAVerdictMatchingItsCode) {
  const std::wstring user = CurrentUser();
  auto r = RunAcctmgr({L"acctmgr", L"-cug", L"-u" + user});
  // The default group under its local name.
  wchar_t name[256], domain[256];
  DWORD nameSize = 256, domainSize = 256;
  SID_NAME_USE use;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof sid;
  ASSERT_TRUE(CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize));
  ASSERT_TRUE(LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use));
  const std::wstring verdict = r.exitCode == 0 ? L"Found user " : L"Did not find user ";
  EXPECT_TRUE(r.exitCode == 0 || r.exitCode == 300) << r.exitCode;
  EXPECT_EQ(r.err, OnPipe(verdict + user + L" in group " + name + L"\r\n") +
                       Closing(L"acctmgr", static_cast<int>(r.exitCode)));
  if (wttest::RunningUnderWine()) {
    EXPECT_EQ(r.exitCode, 0u);  // the prefix's user is an administrator
  }
}

TEST(AcctmgrProgram, GrantsRightsToTheCurrentUser) {
  const std::wstring user = CurrentUser();
  auto r = RunAcctmgr({L"acctmgr", L"-aur", L"-rSeBatchLogonRight", L"-rSeServiceLogonRight"});
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, OnPipe(L"Adding rights for " + user +
                          L"\r\nAdding right SeBatchLogonRight\r\n"
                          L"Adding right SeServiceLogonRight\r\n") +
                       Closing(L"acctmgr", 0));
}

// By its identifier (LocalService), as the example package grants it: a
// name that no translation changes.
TEST(AcctmgrProgram, GrantsRightsToAnAccountGivenByItsIdentifier) {
  auto r = RunAcctmgr({L"acctmgr", L"-aur", L"-u*S-1-5-19", L"-rSeServiceLogonRight"});
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_EQ(r.err, OnPipe(L"Adding rights for *S-1-5-19\r\nAdding right SeServiceLogonRight\r\n") +
                       Closing(L"acctmgr", 0));
}

TEST(AcctmgrProgram, TheVerboseVariableChangesNoOutput) {
  wttest::ProcessOptions quiet, verbose;
  quiet.unsetEnv = {L"ACCTMGR_VERBOSE"};
  verbose.setEnv[L"ACCTMGR_VERBOSE"] = L"1";
  auto a = RunAcctmgr({L"acctmgr", L"-cug", L"-ubob", L"-gx", L"-q"}, quiet);
  auto b = RunAcctmgr({L"acctmgr", L"-cug", L"-ubob", L"-gx", L"-q"}, verbose);
  EXPECT_EQ(a.exitCode, 1u);
  EXPECT_EQ(a.exitCode, b.exitCode);
  EXPECT_EQ(a.out, b.out);
  EXPECT_EQ(a.err, b.err);
}

TEST(AcctmgrProgram, VeryLongArgumentsKeepWholeLines) {
  const std::wstring program = L"C:\\" + std::wstring(3000, L'd') + L"\\acctmgr.exe";
  const std::wstring user = L"CORP\\" + std::wstring(5000, L'u');
  auto r =
      wttest::RunProcess(Exe(), JoinCommandLine({program, L"-cug", L"-u" + user, L"-gSome Group"}));
  ASSERT_FALSE(r.timedOut);
  // Whatever the platform answers for such a user, the verdict names it whole.
  const std::string verdict = " " + Narrow(user) + " in group Some Group\r\r\n";
  EXPECT_NE(r.err.find(verdict), std::string::npos) << r.err.substr(0, 200);
  EXPECT_EQ(r.err.substr(r.err.size() - Closing(program, static_cast<int>(r.exitCode)).size()),
            Closing(program, static_cast<int>(r.exitCode)));

  auto usage = wttest::RunProcess(Exe(), JoinCommandLine({program}));
  EXPECT_EQ(usage.out, Usage(program));
}

TEST(AcctmgrProgram, NamesOutsideAsciiAreWrittenInTheCodePageNeverCut) {
  const std::wstring user =
      L"Jos\u00e9\u7528\u6237";  // é is in the ANSI code page, the rest is not
  auto r = RunAcctmgr({L"acctmgr", L"-cug", L"-u" + user, L"-gGr\u00fcppe"});
  const std::string verdict = (r.exitCode == 0 ? "Found user " : "Did not find user ") +
                              OnPipe(user) + " in group " + OnPipe(L"Gr\u00fcppe") + "\r\r\n";
  EXPECT_NE(r.err.find(verdict), std::string::npos) << r.err;
  EXPECT_EQ(r.err.substr(r.err.size() - Closing(L"acctmgr", static_cast<int>(r.exitCode)).size()),
            Closing(L"acctmgr", static_cast<int>(r.exitCode)));
}

}  // namespace
