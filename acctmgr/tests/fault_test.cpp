// Every platform call of acctmgr's commands made to fail in turn, against
// the scripted platform (and the real stand-in toolkit for an encoded
// password): the exit code must be one the page gives for that failure,
// every block, identifier, buffer, policy, token, key and library must be
// released, and the closing line must end the run.
#include "wttest/fault.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

#include "fake_platform.h"
#include "operations.h"
#include "wttest/platform.h"
#include "wttest/process.h"

namespace acctmgr_test {
namespace {

using Table = acctmgr::Platform;
using wttest::fault::FailedOneOf;
using wttest::fault::Fails;
using wttest::fault::State;

wttest::fault::FaultTable<Table> Faults(const Table& inner) {
  const DWORD memory = ERROR_NOT_ENOUGH_MEMORY;
  wttest::fault::FaultTable<Table> t(inner);
  t.Add<&Table::WriteWide>("WriteWide", Fails::kNever)
      .Add<&Table::WriteNarrow>("WriteNarrow", Fails::kNever)
      .Add<&Table::FormatMessageW>("FormatMessageW", Fails::kByType, memory)
      .Add<&Table::GetEnvironmentVariableW>("GetEnvironmentVariableW")
      .Add<&Table::LocalAlloc>("LocalAlloc", Fails::kByType, memory)
      .AddRelease<&Table::LocalFree>("LocalFree")
      .Add<&Table::GetUserNameExW>("GetUserNameExW")
      .Add<&Table::LookupAccountNameW>("LookupAccountNameW")
      .Add<&Table::LookupAccountSidW>("LookupAccountSidW")
      .Add<&Table::LsaOpenPolicy>("LsaOpenPolicy", Fails::kNtStatus)
      .Add<&Table::LsaAddAccountRights>("LsaAddAccountRights", Fails::kNtStatus)
      .AddRelease<&Table::LsaClose>("LsaClose", Fails::kNtStatus)
      .Add<&Table::LsaNtStatusToWinError>("LsaNtStatusToWinError", Fails::kNever)
      .Add<&Table::AllocateAndInitializeSid>("AllocateAndInitializeSid", Fails::kByType, memory)
      .AddRelease<&Table::FreeSid>("FreeSid")
      .Add<&Table::NetUserGetLocalGroups>("NetUserGetLocalGroups", Fails::kStatus)
      .Add<&Table::NetLocalGroupGetMembers>("NetLocalGroupGetMembers", Fails::kStatus)
      .AddRelease<&Table::NetApiBufferFree>("NetApiBufferFree", Fails::kStatus)
      .Add<&Table::CheckTokenMembership>("CheckTokenMembership")
      .Add<&Table::OpenThreadToken>("OpenThreadToken")
      .Add<&Table::OpenProcessToken>("OpenProcessToken")
      .Add<&Table::GetTokenInformation>("GetTokenInformation")
      .Add<&Table::IsWellKnownSid>("IsWellKnownSid", Fails::kNever)
      .AddRelease<&Table::CloseHandle>("CloseHandle")
      .Add<&Table::LogonUserW>("LogonUserW")
      .Add<&Table::ReadLine>("ReadLine")
      .Add<&Table::RegOpenKeyExW>("RegOpenKeyExW")
      .Add<&Table::RegQueryValueExW>("RegQueryValueExW")
      .AddRelease<&Table::RegCloseKey>("RegCloseKey")
      .Add<&Table::GetEnvironmentVariableA>("GetEnvironmentVariableA")
      .Add<&Table::SetEnvironmentVariableW>("SetEnvironmentVariableW", Fails::kByType, memory)
      .Add<&Table::GetModuleFileNameW>("GetModuleFileNameW")
      .Add<&Table::SearchPathW>("SearchPathW")
      .Add<&Table::LoadLibraryW>("LoadLibraryW", Fails::kByType, memory)
      .Add<&Table::LoadLibraryExW>("LoadLibraryExW", Fails::kByType, memory)
      .Add<&Table::GetProcAddress>("GetProcAddress")
      .AddRelease<&Table::FreeLibrary>("FreeLibrary")
      .Add<&Table::FormatMessageA>("FormatMessageA", Fails::kByType, memory)
      .Add<&Table::WideCharToMultiByte>("WideCharToMultiByte", Fails::kByType, memory)
      .Add<&Table::MultiByteToWideChar>("MultiByteToWideChar", Fails::kByType, memory);
  return t;
}

using Meanings = std::map<std::string, std::set<int>>;

struct Path {
  const char* name;
  std::vector<std::wstring> args;
  std::function<void(Script&)> script;
  int clean;
  Meanings meanings;  // the codes the page gives for each call's failure
  // Calls whose failure may leave the clean result: messages, releases,
  // and what the command's rules pass over.
  std::vector<const char*> passedOver;
};

const std::vector<const char*> kAlways = {
    "FormatMessageW", "GetEnvironmentVariableW", "LocalFree",   "LsaClose",
    "FreeSid",        "NetApiBufferFree",        "CloseHandle", "RegCloseKey",
    "FreeLibrary"};

std::vector<const char*> With(std::vector<const char*> more) {
  more.insert(more.end(), kAlways.begin(), kAlways.end());
  return more;
}

void WithToolkit(Script& s) {
  std::wstring folder = wttest::BinaryDirectory();
  folder.pop_back();  // its trailing backslash
  s.env[L"VQMK"] = folder;
}

const Path kPaths[] = {
    {"-aur -u",
     {L"acctmgr", L"-aur", L"-rSeBatchLogonRight", L"-rSeServiceLogonRight", L"-uCORP\\bob"},
     nullptr,
     0,
     {{"LookupAccountNameW", {103}},
      {"LocalAlloc", {105, 106}},
      {"LsaOpenPolicy", {104}},
      {"LsaAddAccountRights", {102}}},
     kAlways},
    {"-aur",
     {L"acctmgr", L"-aur", L"-rSeBatchLogonRight"},
     nullptr,
     0,
     {{"GetUserNameExW", {101}}},
     kAlways},
    // A token that cannot say how large its user is passes the domain check;
    // without memory for the domain of CORP\bob there is no domain (219).
    {"-cupw",
     {L"acctmgr", L"-cupw", L"-uCORP\\bob", L"-pSecret"},
     nullptr,
     0,
     {{"LocalAlloc", {204, 218, 219}}, {"LogonUserW", {217}}, {"LookupAccountSidW", {218}}},
     With({"GetTokenInformation"})},
    // At end of input the password is none.
    {"-cunpw -s",
     {L"acctmgr", L"-cunpw", L"-dCORP", L"-ubob", L"-s"},
     [](Script& s) { s.input = L"Secret\n"; },
     0,
     {{"LogonUserW", {217}}},
     With({"ReadLine", "GetTokenInformation"})},
    // The toolkit's optional exports may be missing.
    {"-cupw encoded",
     {L"acctmgr", L"-cupw", L"-ubob@corp", L"-p{007300650063007200650074}"},
     WithToolkit,
     0,
     {{"RegOpenKeyExW", {210, 212}},
      {"RegQueryValueExW", {211, 213}},
      {"LoadLibraryW", {200}},
      {"LoadLibraryExW", {200}},
      {"LogonUserW", {217}}},
     With({"GetProcAddress"})},
    {"-cug",
     {L"acctmgr", L"-cug", L"-uCORP\\bob"},
     [](Script& s) {
       s.localGroups = {L"Users", L"Administrators"};
     },
     0,
     {{"AllocateAndInitializeSid", {301}},
      {"LookupAccountSidW", {302}},
      {"NetUserGetLocalGroups", {303}}},
     kAlways},
    // No domain: the members, then the current user's token decide.
    {"-cug fallback",
     {L"acctmgr", L"-cug", L"-uHOST\\alice", L"-gadministrators"},
     [](Script& s) { s.localGroupsStatus = ERROR_NO_SUCH_DOMAIN; },
     0,
     {{"NetUserGetLocalGroups", {303}},
      {"NetLocalGroupGetMembers", {308}},
      {"GetUserNameExW", {300}},
      {"AllocateAndInitializeSid", {300}},
      {"CheckTokenMembership", {300}}},
     kAlways},
    // Without the thread's token the process token is asked.
    {"-cuadmin",
     {L"acctmgr", L"-cuadmin"},
     [](Script& s) {
       s.tokenGroups = {{WinBuiltinAdministratorsSid, SE_GROUP_ENABLED}};
     },
     0,
     {{"OpenProcessToken", {402}}, {"GetTokenInformation", {402}}, {"LocalAlloc", {402}}},
     With({"OpenThreadToken"})},
};

const std::set<int> kListed = {0,   1,   2,   101, 102, 103, 104, 105, 106, 200, 201, 202,
                               204, 205, 210, 211, 212, 213, 214, 215, 216, 217, 218, 219,
                               300, 301, 302, 303, 304, 305, 306, 307, 308, 400, 401, 402};

TEST(AcctmgrFaults, EveryCallOfEveryCommandFailsAsThePageSays) {
  wttest::fault::Tally tally("acctmgr");
  for (const Path& path : kPaths) {
    tally.Sweep(path.name, [&] {
      Script s;
      if (path.script) path.script(s);
      Use(&s);
      const auto faults = Faults(Platform());
      if (!faults.Complete()) return ::testing::AssertionFailure() << "entries missing";
      std::vector<std::wstring> args = path.args;
      std::vector<wchar_t*> argv;
      for (auto& a : args) argv.push_back(&a[0]);
      argv.push_back(nullptr);
      acctmgr::Context ctx(faults);
      const int exit = acctmgr::Run(ctx, static_cast<int>(args.size()), argv.data());
      if (!s.Balanced())
        return ::testing::AssertionFailure() << "something held (exit " << exit << ")";
      if (GetModuleHandleW(L"vqmk.dll"))
        return ::testing::AssertionFailure() << "the toolkit left loaded";
      if (!kListed.count(exit))
        return ::testing::AssertionFailure() << "exit " << exit << " not listed";
      if (!wttest::fault::Means(path.meanings, exit))
        return ::testing::AssertionFailure() << "exit " << exit << " does not say what failed";
      if (State().failed && exit == path.clean && !FailedOneOf(path.passedOver))
        return ::testing::AssertionFailure() << "ended as if nothing had failed";
      if (!State().failed && exit != path.clean)
        return ::testing::AssertionFailure() << "clean run exit " << exit;
      // The closing line ends every run, unless its text could not be had.
      const std::wstring closing = L" exiting with " + std::to_wstring(exit) + L" exit code\r\n";
      if (!FailedOneOf({"FormatMessageW"}) &&
          (s.err.size() < closing.size() ||
           s.err.compare(s.err.size() - closing.size(), closing.size(), closing) != 0))
        return ::testing::AssertionFailure() << "no closing line: " << wttest::Narrow(s.err);
      return ::testing::AssertionSuccess();
    });
  }
}

}  // namespace
}  // namespace acctmgr_test
