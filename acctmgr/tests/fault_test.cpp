// Every platform call of acctmgr's commands made to fail in turn, against
// the scripted platform (and the real stand-in toolkit for an encoded
// password): the exit code must be one the page gives for that failure,
// every block, identifier, buffer, policy, token, key and library must be
// released, and the closing line must end the run.
#include "wttest/fault.h"

#include <gtest/gtest.h>

#include <functional>

#include "fake_platform.h"
#include "operations.h"
#include "wttest/platform.h"
#include "wttest/process.h"

namespace acctmgr_test {
namespace {

using Table = acctmgr::Platform;
using wttest::fault::FailedOneOf;
using wttest::fault::Fails;
using wttest::fault::Page;

wttest::fault::FaultTable<Table> Faults(const Table& inner) {
  wttest::fault::FaultTable<Table> t(inner);
  WT_FAULT_ENTRIES(t, Table, Fails::kByType, GetEnvironmentVariableW, GetUserNameExW,
                   LookupAccountNameW, LookupAccountSidW, CheckTokenMembership, OpenThreadToken,
                   OpenProcessToken, GetTokenInformation, LogonUserW, ReadLine, RegOpenKeyExW,
                   RegQueryValueExW, GetEnvironmentVariableA, GetModuleFileNameW, SearchPathW,
                   GetProcAddress, SetSearchPathMode, SetDllDirectoryW)
  WT_FAULT_RELEASES(t, Table, Fails::kByType, LocalFree, FreeSid, CloseHandle, RegCloseKey,
                    FreeLibrary)
  WT_FAULT_ENTRIES(t, Table, Fails::kNtStatus, LsaOpenPolicy, LsaAddAccountRights)
  WT_FAULT_ENTRIES(t, Table, Fails::kStatus, NetUserGetLocalGroups, NetLocalGroupGetMembers)
  WT_FAULT_ENTRIES(t, Table, Fails::kNever, WriteWide, WriteNarrow, LsaNtStatusToWinError,
                   IsWellKnownSid)
  t.AddRelease<&Table::LsaClose>("LsaClose", Fails::kNtStatus);
  t.AddRelease<&Table::NetApiBufferFree>("NetApiBufferFree", Fails::kStatus);
  WT_FAULT_MEMORY(t, Table, FormatMessageW, LocalAlloc, AllocateAndInitializeSid,
                  ConvertStringSidToSidW, SetEnvironmentVariableW, LoadLibraryW, LoadLibraryExW, FormatMessageA,
                  WideCharToMultiByte, MultiByteToWideChar)
  return t;
}

// The page's exit codes, each a result a failure may end with.
const std::set<std::string> kListed = {
    "1",   "2",   "101", "102", "103", "104", "105", "106", "200", "201", "202", "204",
    "205", "210", "211", "212", "213", "214", "215", "216", "217", "218", "219", "300",
    "301", "302", "303", "304", "305", "306", "307", "308", "400", "401", "402"};

// Messages, releases, the verbose switch and the safer library search may
// fail unnoticed, and so may what a command's rules pass over (more).
Page Listing(std::map<std::string, std::set<std::string>> meanings,
             std::vector<const char*> more = {}) {
  for (const char* always : {"FormatMessageW", "GetEnvironmentVariableW", "LocalFree", "LsaClose",
                             "FreeSid", "NetApiBufferFree", "CloseHandle", "RegCloseKey",
                             "FreeLibrary", "SetSearchPathMode", "SetDllDirectoryW"})
    more.push_back(always);
  return {kListed, nullptr, std::move(meanings), std::move(more)};
}

struct Path {
  std::vector<std::wstring> args;
  std::function<void(Script&)> script;
  Page page;
};

const Path kPaths[] = {
    {{L"-aur", L"-rSeBatchLogonRight", L"-rSeServiceLogonRight", L"-uCORP\\bob"},
     nullptr,
     Listing({{"LookupAccountNameW", {"103"}},
              {"LocalAlloc", {"105", "106"}},
              {"LsaOpenPolicy", {"104"}},
              {"LsaAddAccountRights", {"102"}}})},
    {{L"-aur", L"-rSeBatchLogonRight"}, nullptr, Listing({{"GetUserNameExW", {"101"}}})},
    {{L"-aur", L"-rSeServiceLogonRight", L"-u*S-1-5-19"},
     nullptr,
     Listing({{"ConvertStringSidToSidW", {"106"}},
              {"LocalAlloc", {"105"}},
              {"LsaOpenPolicy", {"104"}},
              {"LsaAddAccountRights", {"102"}}})},
    // A token that cannot say how large its user is passes the domain check;
    // without memory for the domain of CORP\bob there is no domain (219).
    {{L"-cupw", L"-uCORP\\bob", L"-pSecret"},
     nullptr,
     Listing({{"LocalAlloc", {"204", "218", "219"}},
              {"LogonUserW", {"217"}},
              {"LookupAccountSidW", {"218"}}},
             {"GetTokenInformation"})},
    // At end of input the password is none.
    {{L"-cunpw", L"-dCORP", L"-ubob", L"-s"},
     [](Script& s) { s.input = L"Secret\n"; },
     Listing({{"LogonUserW", {"217"}}}, {"ReadLine", "GetTokenInformation"})},
    // The stand-in toolkit, whose optional exports may be missing.
    {{L"-cupw", L"-ubob@corp", L"-p{007300650063007200650074}"},
     [](Script& s) {
       s.env[L"VQMK"] = wttest::BinaryDirectory();
       s.env[L"VQMK"].pop_back();  // its trailing backslash
     },
     Listing({{"RegOpenKeyExW", {"210", "212"}},
              {"RegQueryValueExW", {"211", "213"}},
              {"LoadLibraryW", {"200"}},
              {"LogonUserW", {"217"}}},
             {"GetProcAddress"})},
    {{L"-cug", L"-uCORP\\bob"},
     [](Script& s) {
       s.localGroups = {L"Users", L"Administrators"};
     },
     Listing({{"AllocateAndInitializeSid", {"301"}},
              {"LookupAccountSidW", {"302"}},
              {"NetUserGetLocalGroups", {"303"}}})},
    {{L"-cug", L"-uCORP\\bob", L"-g*S-1-5-32-544"},
     [](Script& s) { s.localGroups = {L"Administrators"}; },
     Listing({{"ConvertStringSidToSidW", {"301"}},
              {"LookupAccountSidW", {"302"}},
              {"NetUserGetLocalGroups", {"303"}}})},
    // No domain: the members, then the current user's token decide.
    {{L"-cug", L"-uHOST\\alice", L"-gadministrators"},
     [](Script& s) { s.localGroupsStatus = ERROR_NO_SUCH_DOMAIN; },
     Listing({{"NetUserGetLocalGroups", {"303"}},
              {"NetLocalGroupGetMembers", {"308"}},
              {"GetUserNameExW", {"300"}},
              {"AllocateAndInitializeSid", {"300"}},
              {"CheckTokenMembership", {"300"}}})},
    // Without the thread's token the process token is asked.
    {{L"-cuadmin"},
     [](Script& s) {
       s.tokenGroups = {{WinBuiltinAdministratorsSid, 0}};
     },
     Listing(
         {{"OpenProcessToken", {"402"}}, {"GetTokenInformation", {"402"}}, {"LocalAlloc", {"402"}}},
         {"OpenThreadToken"})},
};

TEST(AcctmgrFaults, EveryCallOfEveryCommandFailsAsThePageSays) {
  wttest::fault::Tally tally("acctmgr");
  for (const Path& path : kPaths) {
    std::string clean;
    tally.Sweep(wttest::Narrow(path.args[0]), [&] {
      Script s;
      if (path.script) path.script(s);
      Use(&s);
      std::vector<std::wstring> args = {L"acctmgr"};
      args.insert(args.end(), path.args.begin(), path.args.end());
      std::vector<wchar_t*> argv;
      for (auto& a : args) argv.push_back(&a[0]);
      const auto faults = Faults(Platform());  // the context keeps a reference
      acctmgr::Context ctx(faults);
      const int exit = acctmgr::Run(ctx, static_cast<int>(argv.size()), argv.data());
      // The closing line ends every run, unless its text could not be had.
      const std::wstring closing = L" exiting with " + std::to_wstring(exit) + L" exit code\r\n";
      const bool closed =
          s.err.size() >= closing.size() &&
          s.err.compare(s.err.size() - closing.size(), closing.size(), closing) == 0;
      if (!s.Balanced() || GetModuleHandleW(L"vqmk.dll") ||
          !(closed || FailedOneOf({"FormatMessageW"})))
        return ::testing::AssertionFailure() << "held, loaded or unclosed, exit " << exit;
      return wttest::fault::Judge(path.page, std::to_string(exit), &clean);
    });
  }
}

}  // namespace
}  // namespace acctmgr_test
