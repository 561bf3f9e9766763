// Every platform call of svchalt, svclaunch and svcredesc made to fail in
// turn, on each main path: the exit code must be one the tool's page lists
// for that failure, every handle and block must be released, and an error
// line must show the code of the call that failed.
#include "wttest/fault.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <set>

#include "fake_platform.h"
#include "svchalt.h"
#include "svclaunch.h"
#include "svcredesc.h"

namespace svcctl {
namespace {

using testing::FakePlatform;
using testing::Status;
using wttest::fault::FailedOneOf;
using wttest::fault::Fails;
using wttest::fault::State;

wttest::fault::FaultTable<Platform> Faults(const Platform& inner) {
  wttest::fault::FaultTable<Platform> t(inner);
  t.Add<&Platform::OpenSCManagerW>("OpenSCManagerW")
      .Add<&Platform::OpenServiceW>("OpenServiceW")
      .AddRelease<&Platform::CloseServiceHandle>("CloseServiceHandle")
      .Add<&Platform::GetServiceKeyNameW>("GetServiceKeyNameW")
      .Add<&Platform::EnumDependentServicesW>("EnumDependentServicesW")
      .Add<&Platform::QueryServiceStatusEx>("QueryServiceStatusEx")
      .Add<&Platform::ControlService>("ControlService")
      .Add<&Platform::StartServiceW>("StartServiceW")
      .Add<&Platform::ChangeServiceConfig2W>("ChangeServiceConfig2W")
      .Add<&Platform::FormatMessageA>("FormatMessageA")
      .Add<&Platform::FormatMessageW>("FormatMessageW")
      .Add<&Platform::LocalAlloc>("LocalAlloc", Fails::kByType, ERROR_NOT_ENOUGH_MEMORY)
      .AddRelease<&Platform::LocalFree>("LocalFree")
      .Add<&Platform::GetLastError>("GetLastError", Fails::kLastError)
      .Add<&Platform::GetTickCount>("GetTickCount", Fails::kNever)
      .Add<&Platform::Sleep>("Sleep", Fails::kNever)
      .Add<&Platform::WriteWide>("WriteWide", Fails::kNever)
      .Add<&Platform::WriteNarrow>("WriteNarrow", Fails::kNever);
  return t;
}

// A stop or start that stays pending with rising checkpoints for ms, then
// ends in state.
testing::Trajectory Pending(DWORD pending, DWORD ms, DWORD state) {
  return [=](DWORD at) { return at >= ms ? Status(state) : Status(pending, 1 + at / 500, 2000); };
}

struct Path {
  const char* name;
  int (*main)(const Platform&, int, wchar_t**);
  std::vector<std::wstring> args;
  std::function<void(FakePlatform&)> script;
  int cleanExit;
  // The code of an error line the run may print besides the injected one:
  // the clean run's, or 1060 where a failed display-name lookup leaves the
  // display name to be opened as a key name.
  DWORD otherError;
};

// svchalt stops A (given by its display name), which has one running
// dependent, B, that takes 2 s to stop; svclaunch starts S, which takes 2 s.
const Path kPaths[] = {
    {"svchalt Alpha",
     SvchaltMain,
     {L"svchalt", L"Alpha", L"60"},
     [](FakePlatform& f) {
       f.Add(L"A", L"Alpha").dependents = {L"B"};
       f.Add(L"B", L"Bravo").afterStop = Pending(SERVICE_STOP_PENDING, 2000, SERVICE_STOPPED);
     },
     0,
     ERROR_SERVICE_DOES_NOT_EXIST},
    {"svchalt NoSuch",
     SvchaltMain,
     {L"svchalt", L"NoSuch"},
     [](FakePlatform&) {},
     3,
     ERROR_SERVICE_DOES_NOT_EXIST},
    {"svclaunch S",
     SvclaunchMain,
     {L"svclaunch", L"S", L"60"},
     [](FakePlatform& f) {
       f.Add(L"S").status = Status(SERVICE_STOPPED);
       f.Service(L"S").afterStart = Pending(SERVICE_START_PENDING, 2000, SERVICE_RUNNING);
     },
     0,
     0},
    {"svclaunch NoSuch",
     SvclaunchMain,
     {L"svclaunch", L"NoSuch"},
     [](FakePlatform&) {},
     3,
     ERROR_SERVICE_DOES_NOT_EXIST},
    {"svcredesc S",
     SvcredescMain,
     {L"svcredesc", L"S", L"New text"},
     [](FakePlatform& f) { f.Add(L"S"); },
     0,
     0},
    {"svcredesc NoSuch",
     SvcredescMain,
     {L"svcredesc", L"NoSuch", L"x"},
     [](FakePlatform&) {},
     ERROR_SERVICE_DOES_NOT_EXIST,
     0},
};

// Calls whose failure a run may pass over and still end as it would have:
// releases, message texts, the display-name lookup and a first status query
// (the request then decides).
bool PassedOver() {
  return FailedOneOf({"CloseServiceHandle", "LocalFree", "FormatMessageA", "FormatMessageW",
                      "GetServiceKeyNameW", "QueryServiceStatusEx"});
}

::testing::AssertionResult Verdict(const Path& path, FakePlatform& fake, int exit) {
  const bool failed = State().failed != nullptr;
  const DWORD injected = State().code;
  if (!fake.AllReleased()) return fake.AllReleased();
  const std::string tool(path.name, std::strcspn(path.name, " "));
  if (tool == "svcredesc") {
    // The code of the first call that failed, or what the clean run gives.
    const bool reported = FailedOneOf({"OpenSCManagerW", "OpenServiceW", "ChangeServiceConfig2W"});
    const int expected = reported ? static_cast<int>(injected) : path.cleanExit;
    if (exit != expected) return ::testing::AssertionFailure() << "exit " << exit;
    if (path.cleanExit == 0 && fake.Service(L"S").described != (exit == 0))
      return ::testing::AssertionFailure() << "description changed with exit " << exit;
    return ::testing::AssertionSuccess();
  }
  // svchalt lists 0 to 13 except 8, svclaunch 0 to 11; each failure has
  // its code (a first status query's is passed over).
  const bool halt = tool == "svchalt";
  if (exit < 0 || exit > (halt ? 13 : 11) || (halt && exit == 8))
    return ::testing::AssertionFailure() << "exit " << exit << " is not on the page";
  static const std::map<std::string, std::set<int>> kHalt = {
      {"OpenSCManagerW", {10}}, {"OpenServiceW", {3}},   {"EnumDependentServicesW", {13}},
      {"LocalAlloc", {12}},     {"ControlService", {4}}, {"QueryServiceStatusEx", {0, 5}}};
  static const std::map<std::string, std::set<int>> kLaunch = {{"OpenSCManagerW", {10}},
                                                               {"OpenServiceW", {3}},
                                                               {"StartServiceW", {4}},
                                                               {"QueryServiceStatusEx", {0, 5}}};
  if (!wttest::fault::Means(halt ? kHalt : kLaunch, exit))
    return ::testing::AssertionFailure() << "exit " << exit << " does not say what failed";
  if (failed && exit == 0 && path.cleanExit == 0 && !PassedOver())
    return ::testing::AssertionFailure() << "ended as if nothing had failed (" << exit << ")";
  // An error line shows the code of the call that failed.
  for (size_t at = fake.out.find("failed due to error "); at != std::string::npos;
       at = fake.out.find("failed due to error ", at + 1)) {
    const DWORD shown = std::strtoul(fake.out.c_str() + at + 20, nullptr, 10);
    if (shown != injected && shown != path.otherError)
      return ::testing::AssertionFailure() << "error line shows " << shown << ": " << fake.out;
  }
  if (halt) {
    if (fake.out.rfind("svchalt exiting with exit code " + std::to_string(exit) + "\n") ==
        std::string::npos)
      return ::testing::AssertionFailure() << "no closing line: " << fake.out;
    // The named service is stopped only after its dependent stopped.
    if (path.cleanExit == 0 && fake.Service(L"A").stops > 0 &&
        fake.out.find("  02->:ControlService(SERVICE_STOP) of B completed") == std::string::npos)
      return ::testing::AssertionFailure() << "A stopped before B: " << fake.out;
  }
  return ::testing::AssertionSuccess();
}

TEST(SvcctlFaults, EveryCallOfEveryPathFailsAsThePageSays) {
  std::map<std::string, wttest::fault::Tally> tallies;
  for (const char* tool : {"svchalt", "svclaunch", "svcredesc"}) tallies.emplace(tool, tool);
  for (const Path& path : kPaths) {
    const std::string tool(path.name, std::strcspn(path.name, " "));
    tallies.at(tool).Sweep(path.name, [&] {
      FakePlatform fake;
      path.script(fake);
      const auto faults = Faults(fake);
      if (!faults.Complete()) return ::testing::AssertionFailure() << "entries missing";
      const int exit = testing::RunMain(path.main, faults, path.args);
      if (!State().failed && exit != path.cleanExit)
        return ::testing::AssertionFailure() << "clean run exit " << exit;
      return Verdict(path, fake, exit);
    });
  }
}

}  // namespace
}  // namespace svcctl
