// svclaunch against the scripted service manager on a virtual clock.
#include "svclaunch.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "fake_platform.h"
#include "rules.h"

namespace svcctl {
namespace {

using testing::FakePlatform;
using testing::Status;

class SvclaunchTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(fake.AllReleased()); }

  int Run(std::vector<std::wstring> args) {
    return testing::RunMain(SvclaunchMain, fake, std::move(args));
  }

  FakePlatform fake;
};

// START_PENDING with a fixed wait hint, checkpoint rising every stepMs (0:
// frozen), then `then` from endMs on.
testing::Trajectory Starting(DWORD hint, DWORD stepMs, DWORD endMs = UINT_MAX,
                             DWORD then = SERVICE_RUNNING) {
  return [=](DWORD ms) {
    if (ms >= endMs) return Status(then);
    return Status(SERVICE_START_PENDING, stepMs ? 1 + ms / stepMs : 1, hint);
  };
}

TEST_F(SvclaunchTest, AnAlreadyRunningServiceGetsOneLineAndNoStartRequest) {
  fake.Add(L"S");
  EXPECT_EQ(Run({L"svclaunch", L"S"}), 0);
  EXPECT_EQ(fake.out, "Service S is already running\n");
  EXPECT_EQ(fake.Service(L"S").starts, 0);
  EXPECT_EQ(fake.Service(L"S").openAccess, std::vector<DWORD>{0x14});
  EXPECT_EQ(fake.managerAccess, std::vector<DWORD>{SC_MANAGER_CONNECT});
}

TEST_F(SvclaunchTest, AnAlreadyPendingServiceIsOnlyWaitedFor) {
  fake.Add(L"S").status = Status(SERVICE_STOPPED);
  fake.Follow(L"S", Starting(3000, 400, 1500));
  EXPECT_EQ(Run({L"svclaunch", L"S"}), 0);
  EXPECT_EQ(fake.out,
            "Service S is already pending start, waiting...\n"
            "after 1000ms, checkpoint 3 wait hint = 3000ms\n"
            "after 2000ms, checkpoint 0 wait hint = 0ms\n");
  EXPECT_EQ(fake.Service(L"S").starts, 0);
}

TEST_F(SvclaunchTest, RunningRightAfterTheRequestPrintsNothing) {
  fake.Add(L"S").status = Status(SERVICE_STOPPED);
  EXPECT_EQ(Run({L"svclaunch", L"S"}), 0);
  EXPECT_EQ(fake.out, "");
  EXPECT_EQ(fake.Service(L"S").starts, 1);
  EXPECT_TRUE(fake.sleeps.empty());
}

TEST_F(SvclaunchTest, StatesThatCannotBeStartedGive11WithoutARequest) {
  const struct {
    DWORD state;
    const char* line;
  } cases[] = {
      {SERVICE_STOP_PENDING, "Current service state is SERVICE_STOP_PENDING\n"},
      {SERVICE_CONTINUE_PENDING, "Current service state is SERVICE_CONTINUE_PENDING\n"},
      {SERVICE_PAUSE_PENDING, "Current service state is SERVICE_PAUSE_PENDING\n"},
      {SERVICE_PAUSED, "Current service state is SERVICE_PAUSED\n"},
      {0, "Current service state is (unexpected value 0)\n"},
      {9, "Current service state is (unexpected value 9)\n"},
  };
  for (const auto& c : cases) {
    FakePlatform f;
    f.Add(L"S").status = Status(c.state);
    EXPECT_EQ(testing::RunMain(SvclaunchMain, f, {L"svclaunch", L"S"}), 11) << c.state;
    EXPECT_EQ(f.out, std::string("Service S is not ready to be started\n") + c.line);
    EXPECT_EQ(f.Service(L"S").starts, 0);
    EXPECT_TRUE(f.AllReleased());
  }
}

struct WaitCase {
  const char* name;
  std::int64_t timeoutSeconds;
  testing::Trajectory afterStart;
  int code;
  std::vector<DWORD> sleeps;
  const char* out;
  DWORD openMs = 0;
};

const WaitCase& WaitCaseAt(int i) {
  static const std::vector<WaitCase> cases = {
      {"StartsWithCheckpointsCountingFromBeforeTheOpen",
       30,
       Starting(2000, 300, 2500),
       0,
       {1000, 1000, 1000},
       "after 1250ms, checkpoint 4 wait hint = 2000ms\n"
       "after 2250ms, checkpoint 7 wait hint = 2000ms\n"
       "after 3250ms, checkpoint 0 wait hint = 0ms\n",
       250},
      {"StoppingByItselfDuringTheWaitGives8",
       30,
       Starting(2000, 500, 1500, SERVICE_STOPPED),
       8,
       {1000, 1000},
       "after 1000ms, checkpoint 3 wait hint = 2000ms\n"
       "after 2000ms, checkpoint 0 wait hint = 0ms\n"
       "unexpected service status SERVICE_STOPPED\n"},
      {"EndingInAnotherStateGives9",
       30,
       Starting(0, 0, 500, SERVICE_PAUSED),
       9,
       {1000},
       "after 1000ms, checkpoint 0 wait hint = 0ms\n"
       "unexpected service status SERVICE_PAUSED\n"},
      {"EndingInAnUnknownStateGives9WithTheNumber",
       30,
       Starting(0, 0, 500, 77),
       9,
       {1000},
       "after 1000ms, checkpoint 0 wait hint = 0ms\n"
       "unexpected service status 77\n"},
      {"ProgressingPastTheTimeoutGives6",
       2,
       Starting(1500, 700),
       6,
       {1000, 1000},
       "after 1000ms, checkpoint 2 wait hint = 1500ms\n"
       "after 2000ms, checkpoint 3 wait hint = 1500ms\n"
       "user specified timeout has expired, BUT service may have set up wait hint "
       "appropriately\n"},
      {"AStalledCheckpointGives7",
       3,
       Starting(1500, 0),
       7,
       {1000, 1000, 1000},
       "after 1000ms, checkpoint 1 wait hint = 1500ms\n"
       "after 2000ms, checkpoint 1 wait hint = 1500ms\n"
       "after 3000ms, checkpoint 1 wait hint = 1500ms\n"
       "user specified timeout has expired, AND service did not set up wait hint "
       "appropriately\n"},
      {"WaitHintZeroIsExceededAfterOneInterval",
       1,
       Starting(0, 0),
       7,
       {1000},
       "after 1000ms, checkpoint 1 wait hint = 0ms\n"
       "user specified timeout has expired, AND service did not set up wait hint "
       "appropriately\n"},
      {"LongWaitHintSleepsTenSecondsThenTheRemainder",
       25,
       Starting(200000, 0),
       6,
       {10000, 10000, 5000},
       "after 10000ms, checkpoint 1 wait hint = 200000ms\n"
       "after 20000ms, checkpoint 1 wait hint = 200000ms\n"
       "after 25000ms, checkpoint 1 wait hint = 200000ms\n"
       "user specified timeout has expired, BUT service may have set up wait hint "
       "appropriately\n"},
      // Unsigned: -1 s is 4294966296 ms, so a slow start is still waited for.
      {"ANegativeTimeoutIsAVeryLongWait",
       -1,
       Starting(60000, 1000, 45000),
       0,
       {6000, 6000, 6000, 6000, 6000, 6000, 6000, 6000},
       "after 6000ms, checkpoint 7 wait hint = 60000ms\n"
       "after 12000ms, checkpoint 13 wait hint = 60000ms\n"
       "after 18000ms, checkpoint 19 wait hint = 60000ms\n"
       "after 24000ms, checkpoint 25 wait hint = 60000ms\n"
       "after 30000ms, checkpoint 31 wait hint = 60000ms\n"
       "after 36000ms, checkpoint 37 wait hint = 60000ms\n"
       "after 42000ms, checkpoint 43 wait hint = 60000ms\n"
       "after 48000ms, checkpoint 0 wait hint = 0ms\n"},
  };
  return cases[static_cast<size_t>(i)];
}

class SvclaunchWaitTest : public SvclaunchTest, public ::testing::WithParamInterface<int> {};

TEST_P(SvclaunchWaitTest, FollowsTheWaitRules) {
  const WaitCase& c = WaitCaseAt(GetParam());
  SCOPED_TRACE(c.name);
  auto& s = fake.Add(L"S");
  s.status = Status(SERVICE_STOPPED);
  s.afterStart = c.afterStart;
  s.openMs = c.openMs;
  FakePlatform& f = fake;
  SC_HANDLE manager = f.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  EXPECT_EQ(StartAndWait(f, manager, L"S", StartTimeoutMs(c.timeoutSeconds)), c.code);
  f.CloseServiceHandle(manager);
  EXPECT_EQ(fake.out, c.out);
  EXPECT_EQ(fake.sleeps, c.sleeps);
  EXPECT_EQ(s.starts, 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, SvclaunchWaitTest, ::testing::Range(0, 9),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(WaitCaseAt(info.param).name);
                         });

TEST_F(SvclaunchTest, FailuresGiveTheirCodesAndErrorLines) {
  const struct {
    const char* name;
    std::function<void(FakePlatform&)> script;
    const wchar_t* service;
    int code;
    const char* out;
  } cases[] = {
      {"invalid name", [](FakePlatform&) {}, L"a/b", 2,
       "Attempt to open service handle failed due to error 123:The filename, directory name, "
       "or volume label syntax is incorrect. "},
      {"unknown service", [](FakePlatform&) {}, L"nosuch", 3,
       "Attempt to open service handle failed due to error 1060:The specified service does not "
       "exist as an installed service. "},
      {"open refused", [](FakePlatform& f) { f.Service(L"S").openError = ERROR_ACCESS_DENIED; },
       L"S", 3, "Attempt to open service handle failed due to error 5:Access is denied. "},
      {"start refused",
       [](FakePlatform& f) { f.Service(L"S").startError = ERROR_SERVICE_DISABLED; }, L"S", 4,
       "Attempt to start service failed due to error 1058:The service cannot be started, "
       "either because it is disabled or because it has no enabled devices associated with "
       "it. "},
      {"query after the request fails",
       [](FakePlatform& f) { f.Service(L"S").queriesBeforeFailure = 1; }, L"S", 5,
       "Attempt to query service Status failed due to error 6:The handle is invalid. "},
      {"query in the wait fails",
       [](FakePlatform& f) {
         f.Service(L"S").queriesBeforeFailure = 2;
         f.Service(L"S").afterStart = Starting(0, 0);
       },
       L"S", 5, "Attempt to query service Status failed due to error 6:The handle is invalid. "},
      {"manager refused", [](FakePlatform& f) { f.managerError = ERROR_ACCESS_DENIED; }, L"S", 10,
       "Attempt to open Service Control Manager failed due to error 5:Access is denied. "},
      // A failed query is a failure whatever code it left; the line shows that code.
      {"query fails without a code",
       [](FakePlatform& f) {
         f.Service(L"S").queriesBeforeFailure = 1;
         f.Service(L"S").queryError = 0;
       },
       L"S", 5, "Attempt to query service Status failed due to error 0"},
  };
  for (const auto& c : cases) {
    FakePlatform f;
    f.Add(L"S").status = Status(SERVICE_STOPPED);
    c.script(f);
    EXPECT_EQ(testing::RunMain(SvclaunchMain, f, {L"svclaunch", c.service}), c.code) << c.name;
    EXPECT_EQ(f.out, c.out) << c.name;
    EXPECT_TRUE(f.AllReleased()) << c.name;
    // System texts are fetched wide, as svclaunch writes all its text.
    EXPECT_TRUE(f.formatFlags.empty()) << c.name;
    EXPECT_EQ(f.formatWideFlags, std::vector<DWORD>{0x13FF}) << c.name;
  }
}

TEST_F(SvclaunchTest, AFailedFirstQueryStillSendsTheStartRequest) {
  auto& s = fake.Add(L"S");
  s.status = Status(SERVICE_STOPPED);
  s.queriesBeforeFailure = 0;
  s.queryError = ERROR_ACCESS_DENIED;
  EXPECT_EQ(Run({L"svclaunch", L"S"}), 5);
  EXPECT_EQ(s.starts, 1);
  EXPECT_EQ(fake.out, "Attempt to query service Status failed due to error 5:Access is denied. ");
}

TEST_F(SvclaunchTest, ArgumentErrorsPrintTheirTextAndExitCode1) {
  const struct {
    std::vector<std::wstring> args;
    const char* out;
  } cases[] = {
      {{L"svclaunch"}, "usage is svclaunch <service_name> [<timeout>]\n"},
      {{L"C:\\x\\svclaunch.exe", L"S", L"1", L"2"},
       "usage is C:\\x\\svclaunch.exe <service_name> [<timeout>]\n"},
      {{L"svclaunch", L"S", L"abc"}, "invalid timeout abc\n"},
      {{L"svclaunch", L"S", L"0"}, "invalid timeout 0\n"},
      {{L"svclaunch", L"S", L""}, "invalid timeout \n"},
  };
  for (const auto& c : cases) {
    fake.out.clear();
    EXPECT_EQ(Run(c.args), 1);
    EXPECT_EQ(fake.out, c.out);
  }
  EXPECT_TRUE(fake.managerAccess.empty());
}

// 4294968 s x 1000 wraps 32 bits to 704 ms; clamped, it is the longest wait.
TEST_F(SvclaunchTest, AHugeTimeoutIsClampedToTheLongestWait) {
  auto& s = fake.Add(L"S");
  s.status = Status(SERVICE_STOPPED);
  s.afterStart = Starting(0, 1000, 5000);
  EXPECT_EQ(Run({L"svclaunch", L"S", L"4294968"}), 0);
  EXPECT_EQ(fake.sleeps, std::vector<DWORD>(5, 1000));
}

TEST_F(SvclaunchTest, ATimeoutWithTrailingLettersUsesItsLeadingNumber) {
  auto& s = fake.Add(L"S");
  s.status = Status(SERVICE_STOPPED);
  s.afterStart = Starting(0, 0);
  EXPECT_EQ(Run({L"svclaunch", L"S", L" 2sec"}), 7);
  EXPECT_EQ(fake.sleeps, (std::vector<DWORD>{1000, 1000}));
}

}  // namespace
}  // namespace svcctl
