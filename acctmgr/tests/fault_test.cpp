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
                  ConvertStringSidToSidW, SetEnvironmentVariableW, LoadLibraryW, LoadLibraryExW,
                  FormatMessageA, WideCharToMultiByte, MultiByteToWideChar)
  return t;
}

// A path's page: it ends with 0 when nothing fails, and with a listed code
// when a call fails. The verbose switch and the safer library search may fail
// unnoticed, and so may messages and what a command's rules pass over (more).
Page Listing(std::set<std::string> listed, std::map<std::string, std::set<std::string>> meanings,
             std::vector<std::string> more) {
  for (const char* always : {"GetEnvironmentVariableW#1", "SetSearchPathMode", "SetDllDirectoryW"})
    more.push_back(always);
  return {"0", std::move(listed), nullptr, std::move(meanings), std::move(more)};
}

struct Path {
  std::vector<std::wstring> args;
  std::function<void(Script&)> script;
  Page page;
};

// Memory for the account's identifier, then for the list of rights.
const Path kPaths[] = {
    {{L"-aur", L"-rSeBatchLogonRight", L"-rSeServiceLogonRight", L"-uCORP\\bob"},
     nullptr,
     Listing({"102", "103", "104", "105", "106"},
             {{"LocalAlloc#1", {"106"}},
              {"LookupAccountNameW", {"103"}},
              {"LsaOpenPolicy", {"104"}},
              {"LocalAlloc#2", {"105"}},
              {"LsaAddAccountRights", {"102"}}},
             {"FormatMessageW#1-4"})},
    {{L"-aur", L"-rSeBatchLogonRight"},
     nullptr,
     Listing({"101", "102", "103", "104", "105", "106"},
             {{"GetUserNameExW", {"101"}},
              {"LocalAlloc#1", {"106"}},
              {"LookupAccountNameW", {"103"}},
              {"LsaOpenPolicy", {"104"}},
              {"LocalAlloc#2", {"105"}},
              {"LsaAddAccountRights", {"102"}}},
             {"FormatMessageW#1-3"})},
    // By identifier: converted, not looked up.
    {{L"-aur", L"-rSeServiceLogonRight", L"-u*S-1-5-19"},
     nullptr,
     Listing({"102", "103", "104", "105", "106"},
             {{"ConvertStringSidToSidW", {"106"}},
              {"LsaOpenPolicy", {"104"}},
              {"LocalAlloc#1", {"105"}},
              {"LsaAddAccountRights", {"102"}}},
             {"FormatMessageW#1-3"})},
    // Without memory for the domain of CORP\bob there is no domain (219); a
    // token that cannot say who its user is fails the domain check (218).
    {{L"-cupw", L"-uCORP\\bob", L"-pSecret"},
     nullptr,
     Listing({"217", "218", "219"},
             {{"LocalAlloc#1", {"219"}},
              {"LogonUserW", {"217"}},
              {"GetTokenInformation#1-2", {"218"}},
              {"LocalAlloc#2-3", {"218"}},
              {"LookupAccountSidW", {"218"}}},
             {"FormatMessageW"})},
    // At end of input the password is none.
    {{L"-cunpw", L"-dCORP", L"-ubob", L"-s"},
     [](Script& s) { s.input = L"Secret\n"; },
     Listing({"217", "218"},
             {{"LogonUserW", {"217"}},
              {"GetTokenInformation#1-2", {"218"}},
              {"LocalAlloc#1-2", {"218"}},
              {"LookupAccountSidW", {"218"}}},
             {"ReadLine", "FormatMessageW"})},
    // The stand-in toolkit: the installation's keys, the search path's
    // variables (#2 to #8, each may be absent), the toolkit's folder (#9), its
    // exports (the first and third optional).
    {{L"-cupw", L"-ubob@corp", L"-p{007300650063007200650074}"},
     [](Script& s) {
       s.env[L"VQMK"] = wttest::BinaryDirectory();
       s.env[L"VQMK"].pop_back();  // its trailing backslash
     },
     Listing({"200", "205", "210", "211", "212", "213", "214", "217"},
             {{"RegOpenKeyExW#1", {"210"}},
              {"RegQueryValueExW#1", {"211"}},
              {"RegOpenKeyExW#2", {"212"}},
              {"RegQueryValueExW#2", {"213"}},
              {"SetEnvironmentVariableW", {"214"}},
              {"LocalAlloc#1", {"200"}},
              {"GetEnvironmentVariableW#9", {"200"}},
              {"LoadLibraryW", {"200"}},
              {"GetProcAddress#2", {"200"}},
              {"LocalAlloc#2", {"205"}},
              {"LogonUserW", {"217"}}},
             {"GetEnvironmentVariableW#2-8", "GetProcAddress#1", "GetProcAddress#3",
              "FormatMessageW#1-2"})},
    {{L"-cug", L"-uCORP\\bob"},
     [](Script& s) {
       s.localGroups = {L"Users", L"Administrators"};
     },
     Listing({"301", "302", "303"},
             {{"AllocateAndInitializeSid", {"301"}},
              {"LookupAccountSidW", {"302"}},
              {"NetUserGetLocalGroups", {"303"}}},
             {"FormatMessageW#1-2"})},
    {{L"-cug", L"-uCORP\\bob", L"-g*S-1-5-32-544"},
     [](Script& s) { s.localGroups = {L"Administrators"}; },
     Listing({"301", "302", "303"},
             {{"ConvertStringSidToSidW", {"301"}},
              {"LookupAccountSidW", {"302"}},
              {"NetUserGetLocalGroups", {"303"}}},
             {"FormatMessageW#1-2"})},
    // No domain: the members, then the current user's token decide.
    {{L"-cug", L"-uHOST\\alice", L"-gadministrators"},
     [](Script& s) { s.localGroupsStatus = ERROR_NO_SUCH_DOMAIN; },
     Listing({"300", "303", "308"},
             {{"NetUserGetLocalGroups", {"303"}},
              {"NetLocalGroupGetMembers", {"308"}},
              {"GetUserNameExW", {"300"}},
              {"AllocateAndInitializeSid", {"300"}},
              {"CheckTokenMembership", {"300"}}},
             {"FormatMessageW#1-2"})},
    // Without the thread's token the process token is asked.
    {{L"-cuadmin"},
     [](Script& s) {
       s.tokenGroups = {{WinBuiltinAdministratorsSid, 0}};
     },
     Listing({"402"},
             {{"OpenProcessToken", {"402"}},
              {"GetTokenInformation#1-2", {"402"}},
              {"LocalAlloc", {"402"}}},
             {"OpenThreadToken", "FormatMessageW"})},
};

TEST(AcctmgrFaults, EveryCallOfEveryCommandFailsAsThePageSays) {
  wttest::fault::Tally tally("acctmgr");
  for (const Path& path : kPaths) {
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
      return wttest::fault::Judge(path.page, std::to_string(exit));
    });
  }
}

}  // namespace
}  // namespace acctmgr_test
