// Every platform call of svchalt, svclaunch and svcredesc made to fail in
// turn, on each main path: an exit code the page gives for that failure,
// every handle and block released, error lines with the failed call's code.
#include "wttest/fault.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

#include "fake_platform.h"
#include "svchalt.h"
#include "svclaunch.h"
#include "svcredesc.h"
#include "wttest/platform.h"

namespace svcctl {
namespace {

using testing::FakePlatform;
using testing::Status;
using wttest::fault::Fails;
using wttest::fault::Page;

wttest::fault::FaultTable<Platform> Faults(const Platform& inner) {
  wttest::fault::FaultTable<Platform> t(inner);
  WT_FAULT_ENTRIES(t, Platform, Fails::kByType, OpenSCManagerW, OpenServiceW, GetServiceKeyNameW,
                   EnumDependentServicesW, QueryServiceStatusEx, ControlService, StartServiceW,
                   ChangeServiceConfig2W, FormatMessageA, FormatMessageW)
  WT_FAULT_RELEASES(t, Platform, Fails::kByType, CloseServiceHandle, LocalFree)
  WT_FAULT_ENTRIES(t, Platform, Fails::kNever, GetTickCount, Sleep, WriteWide, WriteNarrow)
  t.Add<&Platform::LocalAlloc>("LocalAlloc", Fails::kByType, ERROR_NOT_ENOUGH_MEMORY);
  t.Add<&Platform::GetLastError>("GetLastError", Fails::kLastError);
  return t;
}

// A stop or start pending for 2 s with rising checkpoints, then state.
testing::Trajectory Pending(DWORD pending, DWORD state) {
  return [=](DWORD at) { return at >= 2000 ? Status(state) : Status(pending, 1 + at / 500, 2000); };
}

// Alpha: A (key of the display name Alpha), then its dependent B: the key
// lookup, A opened, the dependents counted, listed and B opened, B's
// dependents, B's status queried, B stopped and polled, A's status queried, A
// stopped. The first status query of a service may fail: the stop is
// requested anyway. A failed lookup leaves the display name to be opened as a
// key (1060, 3).
const Page kHalt = {"0",
                    {"3", "4", "5", "10", "12", "13"},
                    nullptr,
                    {{"OpenSCManagerW", {"10"}},
                     {"GetServiceKeyNameW", {"3"}},
                     {"OpenServiceW#1-2", {"3"}},
                     {"EnumDependentServicesW#1-3", {"13"}},
                     {"LocalAlloc", {"12"}},
                     {"ControlService#1-2", {"4"}},
                     {"QueryServiceStatusEx#2-3", {"5"}}},
                    {"QueryServiceStatusEx#1", "QueryServiceStatusEx#4"}};
const Page kHaltNoSuch = {"3", {"3", "10"}, nullptr, {{"OpenSCManagerW", {"10"}}}};
// If the first status query fails, the start is requested anyway.
const Page kLaunch = {"0",
                      {"3", "4", "5", "10"},
                      nullptr,
                      {{"OpenSCManagerW", {"10"}},
                       {"OpenServiceW", {"3"}},
                       {"StartServiceW", {"4"}},
                       {"QueryServiceStatusEx#2-4", {"5"}}},
                      {"QueryServiceStatusEx#1"}};
const Page kLaunchNoSuch = {"3", {"3", "10"}, nullptr, {{"OpenSCManagerW", {"10"}}}};
// svcredesc exits with the code of the call that failed (5 here).
const Page kRedesc = {"0", {"5"}};
const Page kRedescNoSuch = {
    "1060", {"5", "1060"}, nullptr, {{"OpenSCManagerW", {"5"}}, {"OpenServiceW", {"5"}}}};

struct Path {
  const char* tool;
  int (*main)(const Platform&, int, wchar_t**);
  std::vector<std::wstring> args;
  std::function<void(FakePlatform&)> script;
  Page page;
};

// svchalt stops A, named by its display name, after its running dependent
// B; svclaunch starts S; each also for a service that does not exist.
const Path kPaths[] = {
    {"svchalt",
     SvchaltMain,
     {L"svchalt", L"Alpha", L"60"},
     [](FakePlatform& f) {
       f.Add(L"A", L"Alpha").dependents = {L"B"};
       f.Add(L"B", L"Bravo").afterStop = Pending(SERVICE_STOP_PENDING, SERVICE_STOPPED);
     },
     kHalt},
    {"svchalt", SvchaltMain, {L"svchalt", L"NoSuch"}, nullptr, kHaltNoSuch},
    {"svclaunch",
     SvclaunchMain,
     {L"svclaunch", L"S", L"60"},
     [](FakePlatform& f) {
       f.Add(L"S").status = Status(SERVICE_STOPPED);
       f.Service(L"S").afterStart = Pending(SERVICE_START_PENDING, SERVICE_RUNNING);
     },
     kLaunch},
    {"svclaunch", SvclaunchMain, {L"svclaunch", L"NoSuch"}, nullptr, kLaunchNoSuch},
    {"svcredesc",
     SvcredescMain,
     {L"svcredesc", L"S", L"New text"},
     [](FakePlatform& f) { f.Add(L"S"); },
     kRedesc},
    {"svcredesc", SvcredescMain, {L"svcredesc", L"NoSuch", L"x"}, nullptr, kRedescNoSuch},
};

TEST(SvcctlFaults, EveryCallOfEveryPathFailsAsThePageSays) {
  std::map<std::string, wttest::fault::Tally> tallies;
  for (const Path& path : kPaths) {
    const std::string name = wttest::Narrow(path.args[1]);
    tallies.try_emplace(path.tool, path.tool).first->second.Sweep(name, [&] {
      FakePlatform fake;
      if (path.script) path.script(fake);
      const int exit = testing::RunMain(path.main, Faults(fake), path.args);
      if (!fake.AllReleased()) return fake.AllReleased();
      // An error line shows the failed call's code, or 1060 for a name
      // that is no service.
      for (size_t at = fake.out.find("due to error "); at != std::string::npos;
           at = fake.out.find("due to error ", at + 1)) {
        const DWORD shown = std::strtoul(fake.out.c_str() + at + 13, nullptr, 10);
        if (shown != wttest::fault::State().code && shown != ERROR_SERVICE_DOES_NOT_EXIST)
          return ::testing::AssertionFailure() << "error line shows " << shown;
      }
      if (name == "S" && path.main == SvcredescMain && fake.Service(L"S").described != (exit == 0))
        return ::testing::AssertionFailure() << "description changed with exit " << exit;
      return wttest::fault::Judge(path.page, std::to_string(exit));
    });
  }
}

}  // namespace
}  // namespace svcctl
