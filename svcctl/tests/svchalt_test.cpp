// svchalt against the scripted service manager: traces line by line, result
// codes and verdicts, and the wait loop on a virtual clock.
#include "svchalt.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "fake_platform.h"
#include "wttest/platform.h"

namespace svcctl {
namespace {

using testing::FakePlatform;
using testing::Status;

// Every block and handle is checked in TearDown.
class SvchaltTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_TRUE(fake.AllReleased()); }

  int Run(std::vector<std::wstring> args) {
    return testing::RunMain(SvchaltMain, fake, std::move(args));
  }

  FakePlatform fake;
};

// A stop that takes the service through STOP_PENDING with a fixed wait hint,
// its checkpoint rising every stepMs (0: frozen), stopped after stopMs.
testing::Trajectory Stopping(DWORD hint, DWORD stepMs, DWORD stopMs = UINT_MAX) {
  return [=](DWORD ms) {
    if (ms >= stopMs) return Status(SERVICE_STOPPED);
    return Status(SERVICE_STOP_PENDING, stepMs ? 1 + ms / stepMs : 1, hint);
  };
}

TEST_F(SvchaltTest, StopsATreeOfDependentsDepthFirstWithStepsAndIndents) {
  fake.Add(L"A", L"Alpha");
  fake.Add(L"B", L"Bravo").dependents = {L"D"};
  fake.Add(L"C", L"Charlie");
  fake.Add(L"D", L"Delta").dependents = {L"E"};
  fake.Add(L"E", L"Echo").controlMs = 15;
  fake.Service(L"A").dependents = {L"B", L"C"};
  fake.Add(L"Idle", L"Idle").status = Status(SERVICE_STOPPED);  // not running: never listed
  fake.Service(L"C").dependents = {L"Idle"};

  EXPECT_EQ(Run({L"svchalt", L"A", L"60"}), 0);
  EXPECT_EQ(fake.out,
            " 01->Service A requires that service B(Bravo) be stopped first\n"
            "  02->Service B requires that service D(Delta) be stopped first\n"
            "   03->Service D requires that service E(Echo) be stopped first\n"
            "    04->No services are running which are dependent upon Service E\n"
            "    04->:Stopping service E\n"
            "    04->:ControlService(SERVICE_STOP) of E completed in 15ms\n"
            "    04->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 0, 0\n"
            "   03->:Stopping service D\n"
            "   03->:ControlService(SERVICE_STOP) of D completed in 0ms\n"
            "   03->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 0, 0\n"
            "  02->:Stopping service B\n"
            "  02->:ControlService(SERVICE_STOP) of B completed in 0ms\n"
            "  02->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 0, 0\n"
            " 01->Service A requires that service C(Charlie) be stopped first\n"
            "  05->No services are running which are dependent upon Service C\n"
            "  05->:Stopping service C\n"
            "  05->:ControlService(SERVICE_STOP) of C completed in 0ms\n"
            "  05->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 0, 0\n"
            " 01->:Stopping service A\n"
            " 01->:ControlService(SERVICE_STOP) of A completed in 0ms\n"
            " 01->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 0, 0\n"
            "Service stop completed successfully\n"
            "svchalt exiting with exit code 0\n");
  for (const wchar_t* s : {L"A", L"B", L"C", L"D", L"E"}) {
    EXPECT_EQ(fake.Service(s).stops, 1) << wttest::Narrow(s);
    EXPECT_EQ(fake.Service(s).openAccess, std::vector<DWORD>{0x2C});
  }
  EXPECT_EQ(fake.Service(L"Idle").opens, 0);
  EXPECT_EQ(fake.managerAccess, std::vector<DWORD>{SC_MANAGER_CONNECT});
}

TEST_F(SvchaltTest, StepNumbersKeepTwoDigitsAndGrowPastNinetyNine) {
  // A chain 101 deep: the deepest step prints as 101 with 101 blanks.
  std::wstring parent = L"S0";
  fake.Add(parent);
  for (int i = 1; i <= 100; ++i) {
    const std::wstring key = L"S" + std::to_wstring(i);
    fake.Add(key);
    fake.Service(parent).dependents = {key};
    parent = key;
  }
  EXPECT_EQ(Run({L"svchalt", L"S0"}), 0);
  EXPECT_NE(fake.out.find("\n" + std::string(101, ' ') +
                          "101->No services are running which are dependent upon Service S100\n"),
            std::string::npos);
  EXPECT_NE(fake.out.find("\n         09->Service S8 requires"), std::string::npos);
}

TEST_F(SvchaltTest, ADependentStoppedByANestedVisitIsVisitedAgainAsAlreadyStopped) {
  fake.Add(L"A", L"Alpha").dependents = {L"B", L"C"};
  fake.Add(L"B", L"Bravo").dependents = {L"C"};
  fake.Add(L"C", L"Charlie");

  EXPECT_EQ(Run({L"svchalt", L"A"}), 0);
  EXPECT_EQ(fake.out,
            " 01->Service A requires that service B(Bravo) be stopped first\n"
            "  02->Service B requires that service C(Charlie) be stopped first\n"
            "   03->No services are running which are dependent upon Service C\n"
            "   03->:Stopping service C\n"
            "   03->:ControlService(SERVICE_STOP) of C completed in 0ms\n"
            "   03->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 0, 0\n"
            "  02->:Stopping service B\n"
            "  02->:ControlService(SERVICE_STOP) of B completed in 0ms\n"
            "  02->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 0, 0\n"
            " 01->Service A requires that service C(Charlie) be stopped first\n"
            "  04->No services are running which are dependent upon Service C\n"
            "  04->:Service C is already stopped\n"
            " 01->:Stopping service A\n"
            " 01->:ControlService(SERVICE_STOP) of A completed in 0ms\n"
            " 01->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 0, 0\n"
            "Service stop completed successfully\n"
            "svchalt exiting with exit code 0\n");
  EXPECT_EQ(fake.Service(L"C").stops, 1);
}

// Windows refuses to stop a service while services that depend on it run
// (1051); Wine's manager lists no dependents and never refuses, so only this
// scripted manager reaches these paths.
TEST_F(SvchaltTest, TheFirstFailingDependentEndsTheRunThroughEveryAncestor) {
  fake.Add(L"A", L"Alpha").dependents = {L"B", L"X"};
  fake.Add(L"B", L"Bravo").dependents = {L"C"};
  fake.Add(L"C", L"Charlie").controlError = ERROR_DEPENDENT_SERVICES_RUNNING;
  fake.Add(L"X", L"Xray");

  EXPECT_EQ(Run({L"svchalt", L"A"}), 4);
  EXPECT_EQ(fake.out,
            " 01->Service A requires that service B(Bravo) be stopped first\n"
            "  02->Service B requires that service C(Charlie) be stopped first\n"
            "   03->No services are running which are dependent upon Service C\n"
            "   03->:Stopping service C\n"
            "Attempt to stop service failed due to error 1051:A stop control has been sent to a "
            "service that other running services are dependent on.   02->Service B could not be "
            "stopped because dependent service C(Charlie) could not be stopped\n"
            " 01->Service A could not be stopped because dependent service B(Bravo) could not be "
            "stopped\n"
            "Error: Operating system request to stop service faile\n"
            "svchalt exiting with exit code 4\n");
  EXPECT_EQ(fake.Service(L"X").opens, 0);
  EXPECT_EQ(fake.Service(L"A").stops + fake.Service(L"B").stops, 0);
}

TEST_F(SvchaltTest, ADependentThatVanishedAfterTheListingEndsWithCode3) {
  fake.Add(L"A", L"Alpha").dependents = {L"B"};
  fake.Add(L"B", L"Bravo").openError = ERROR_SERVICE_DOES_NOT_EXIST;

  EXPECT_EQ(Run({L"svchalt", L"A"}), 3);
  EXPECT_EQ(fake.out,
            " 01->Service A requires that service B(Bravo) be stopped first\n"
            "Attempt to open service handle failed due to error 1060:The specified service does "
            "not exist as an installed service.  01->Service A could not be stopped because "
            "dependent service B(Bravo) could not be stopped\n"
            "Error: The service handle could not be opened\n"
            "svchalt exiting with exit code 3\n");
}

TEST_F(SvchaltTest, TheDependentsBufferGrowsUntilTheListFits) {
  fake.Add(L"A").dependents = {L"B"};
  fake.Add(L"B", L"Bravo");
  fake.Add(L"C", L"Charlie");
  // C starts, depending on A, between the second and the third listing.
  fake.beforeEnum = [this](int call) {
    if (call == 1) fake.Service(L"A").dependents.push_back(L"C");
  };
  EXPECT_EQ(Run({L"svchalt", L"A"}), 0);

  const DWORD one = sizeof(ENUM_SERVICE_STATUSW) + (2 + 6) * sizeof(wchar_t);
  const DWORD two = one + sizeof(ENUM_SERVICE_STATUSW) + (2 + 8) * sizeof(wchar_t);
  EXPECT_EQ(fake.Service(L"A").enumBufferSizes, (std::vector<DWORD>{0, one, two}));
  EXPECT_EQ(fake.Service(L"C").stops, 1);
  EXPECT_NE(fake.out.find(" 01->Service A requires that service C(Charlie) be stopped first\n"),
            std::string::npos);
}

TEST_F(SvchaltTest, AllocationFailureGivesCode12AndReleasesEverything) {
  fake.Add(L"A").dependents = {L"B"};
  fake.Add(L"B", L"Bravo");
  fake.failAllocation = 0;
  EXPECT_EQ(Run({L"svchalt", L"A"}), 12);
  EXPECT_EQ(fake.out,
            "insufficient memory to find dependent services\n"
            "Error: Operation cannot be completed due to insufficient memory\n"
            "svchalt exiting with exit code 12\n");
  EXPECT_EQ(fake.Service(L"A").stops, 0);
}

TEST_F(SvchaltTest, AFailedListingGivesCode13) {
  fake.Add(L"A").enumError = ERROR_ACCESS_DENIED;
  EXPECT_EQ(Run({L"svchalt", L"A"}), 13);
  EXPECT_EQ(fake.out,
            "EnumDependentServices failed due to error 5:Access is denied. "
            "Error: Unable to enumerate dependent services\n"
            "svchalt exiting with exit code 13\n");
}

TEST_F(SvchaltTest, ADisplayNameIsLookedUpAtTheTopAndItsKeyUsedFromThenOn) {
  fake.Add(L"A", L"Alpha Service");
  EXPECT_EQ(Run({L"svchalt", L"alpha service"}), 0);
  EXPECT_EQ(fake.out,
            " 01->:Service name 'alpha service' refers to key A\n"
            " 01->No services are running which are dependent upon Service A\n"
            " 01->:Stopping service A\n"
            " 01->:ControlService(SERVICE_STOP) of A completed in 0ms\n"
            " 01->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 0, 0\n"
            "Service stop completed successfully\n"
            "svchalt exiting with exit code 0\n");
}

TEST_F(SvchaltTest, AnInvalidNameGives2AndAnUnknownService3) {
  const struct {
    const wchar_t* name;
    int code;
    const char* out;
  } cases[] = {
      {L"bad\\name", 2,
       "Attempt to open service handle failed due to error 123:The filename, directory name, "
       "or volume label syntax is incorrect. Error: an invalid service name was specified\n"
       "svchalt exiting with exit code 2\n"},
      {L"", 2,
       "Attempt to open service handle failed due to error 123:The filename, directory name, "
       "or volume label syntax is incorrect. Error: an invalid service name was specified\n"
       "svchalt exiting with exit code 2\n"},
      {L"nosuch", 3,
       "Attempt to open service handle failed due to error 1060:The specified service does not "
       "exist as an installed service. Error: The service handle could not be opened\n"
       "svchalt exiting with exit code 3\n"},
      {L"n\u00e4me\u4e2d", 3,
       "Attempt to open service handle failed due to error 1060:The specified service does not "
       "exist as an installed service. Error: The service handle could not be opened\n"
       "svchalt exiting with exit code 3\n"},
  };
  for (const auto& c : cases) {
    fake.out.clear();
    EXPECT_EQ(Run({L"svchalt", c.name}), c.code) << wttest::Narrow(c.name);
    EXPECT_EQ(fake.out, c.out);
  }
  EXPECT_EQ(fake.formatFlags, std::vector<DWORD>(4, 0x13FF));
  EXPECT_EQ(fake.formatLanguages, std::vector<DWORD>(4, 0));
}

TEST_F(SvchaltTest, EveryStartingStateIsNamedOrNumbered) {
  const struct {
    DWORD state;
    int code;
    const char* lines;
  } cases[] = {
      {SERVICE_STOPPED, 0, " 01->:Service A is already stopped\n"},
      {SERVICE_START_PENDING, 11,
       " 01->:Service A is not ready to be stopped\n"
       " 01->:Current service state is SERVICE_START_PENDING\n"},
      {SERVICE_CONTINUE_PENDING, 11,
       " 01->:Service A is not ready to be stopped\n"
       " 01->:Current service state is SERVICE_CONTINUE_PENDING\n"},
      {SERVICE_PAUSE_PENDING, 11,
       " 01->:Service A is not ready to be stopped\n"
       " 01->:Current service state is SERVICE_PAUSE_PENDING\n"},
      {SERVICE_PAUSED, 11,
       " 01->:Service A is not ready to be stopped\n"
       " 01->:Current service state is SERVICE_PAUSED\n"},
      {0, 11,
       " 01->:Service A is not ready to be stopped\n"
       " 01->:Current service state is ( unexpected value 0)\n"},
      {8, 11,
       " 01->:Service A is not ready to be stopped\n"
       " 01->:Current service state is ( unexpected value 8)\n"},
      {0xFFFFFFFF, 11,
       " 01->:Service A is not ready to be stopped\n"
       " 01->:Current service state is ( unexpected value -1)\n"},
  };
  for (const auto& c : cases) {
    FakePlatform f;
    f.Add(L"A").status = Status(c.state);
    EXPECT_EQ(testing::RunMain(SvchaltMain, f, {L"svchalt", L"A"}), c.code) << c.state;
    EXPECT_EQ(f.out, std::string(" 01->No services are running which are dependent upon "
                                 "Service A\n") +
                         c.lines +
                         (c.code ? "Error: Service cannot be stopped, because it is "
                                   "not currently running, stopping or stopped\n"
                                 : "Service stop completed successfully\n") +
                         "svchalt exiting with exit code " + std::to_string(c.code) + "\n");
    EXPECT_EQ(f.Service(L"A").stops, 0);
    EXPECT_TRUE(f.AllReleased());
  }
}

// The wait loop on the virtual clock: which sleeps, which lines, which code.
struct WaitCase {
  const char* name;
  int timeoutSeconds;
  testing::Trajectory afterStop;
  int code;
  std::vector<DWORD> sleeps;
  const char* tail;     // lines after the initial-checkpoint line, verdict included
  DWORD controlMs = 0;  // how long the stop request itself takes
};

class SvchaltWaitTest : public SvchaltTest, public ::testing::WithParamInterface<int> {};

const WaitCase& WaitCaseAt(int i) {
  static const std::vector<WaitCase> cases = {
      {"WaitHintZeroSleepsOneSecondAndIsExceededAfterOneInterval",
       3,
       Stopping(0, 0),
       7,
       {1000, 1000, 1000},
       " 01->:after 1000ms, checkpoint 1 wait hint = 0ms\n"
       " 01->:after 2000ms, checkpoint 1 wait hint = 0ms\n"
       " 01->:after 3000ms, checkpoint 1 wait hint = 0ms\n"
       " 01->:user specified timeout has expired, AND service did not set up wait hint "
       "appropriately\n"
       "Error: Specified timeout elapsed before service stop completed, waitHint was exceeded\n"},
      {"WaitHintZeroWithACheckpointEverySecondKeepsTheFlagClear",
       2,
       Stopping(0, 1000),
       6,
       {1000, 1000},
       " 01->:after 1000ms, checkpoint 2 wait hint = 0ms\n"
       " 01->:after 2000ms, checkpoint 3 wait hint = 0ms\n"
       " 01->:user specified timeout has expired, BUT service may have set up wait hint "
       "appropriately\n"
       "Error: Specified timeout elapsed before service stop completed\n"},
      {"LongWaitHintSleepsTenSecondsThenTheRemainder",
       25,
       Stopping(200000, 0),
       6,
       {10000, 10000, 4700},
       " 01->:after 10300ms, checkpoint 1 wait hint = 200000ms\n"
       " 01->:after 20300ms, checkpoint 1 wait hint = 200000ms\n"
       " 01->:after 25000ms, checkpoint 1 wait hint = 200000ms\n"
       " 01->:user specified timeout has expired, BUT service may have set up wait hint "
       "appropriately\n"
       "Error: Specified timeout elapsed before service stop completed\n",
       300},
      {"ARemainderBelowOneSecondIsRaisedToOne",
       21,
       Stopping(200000, 0),
       6,
       {10000, 10000, 1000},
       " 01->:after 10300ms, checkpoint 1 wait hint = 200000ms\n"
       " 01->:after 20300ms, checkpoint 1 wait hint = 200000ms\n"
       " 01->:after 21300ms, checkpoint 1 wait hint = 200000ms\n"
       " 01->:user specified timeout has expired, BUT service may have set up wait hint "
       "appropriately\n"
       "Error: Specified timeout elapsed before service stop completed\n",
       300},
      {"AStalledCheckpointExceedsTheWaitHint",
       5,
       Stopping(2000, 0),
       7,
       {1000, 1000, 1000, 1000, 1000},
       " 01->:after 1000ms, checkpoint 1 wait hint = 2000ms\n"
       " 01->:after 2000ms, checkpoint 1 wait hint = 2000ms\n"
       " 01->:after 3000ms, checkpoint 1 wait hint = 2000ms\n"
       " 01->:after 4000ms, checkpoint 1 wait hint = 2000ms\n"
       " 01->:after 5000ms, checkpoint 1 wait hint = 2000ms\n"
       " 01->:user specified timeout has expired, AND service did not set up wait hint "
       "appropriately\n"
       "Error: Specified timeout elapsed before service stop completed, waitHint was exceeded\n"},
      {"AProgressingCheckpointStaysWithinTheWaitHint",
       3,
       Stopping(2000, 1500),
       6,
       {1000, 1000, 1000},
       " 01->:after 1000ms, checkpoint 1 wait hint = 2000ms\n"
       " 01->:after 2000ms, checkpoint 2 wait hint = 2000ms\n"
       " 01->:after 3000ms, checkpoint 3 wait hint = 2000ms\n"
       " 01->:user specified timeout has expired, BUT service may have set up wait hint "
       "appropriately\n"
       "Error: Specified timeout elapsed before service stop completed\n"},
      {"StopsWithinTheTimeout",
       30,
       Stopping(30000, 500, 6500),
       0,
       {3000, 3000, 3000},
       " 01->:after 3000ms, checkpoint 7 wait hint = 30000ms\n"
       " 01->:after 6000ms, checkpoint 13 wait hint = 30000ms\n"
       " 01->:after 9000ms, checkpoint 0 wait hint = 0ms\n"
       "Service stop completed successfully\n"},
      {"ANegativeTimeoutDoesNotWaitAtAll",
       -5,
       Stopping(2000, 100),
       6,
       {},
       " 01->:user specified timeout has expired, BUT service may have set up wait hint "
       "appropriately\n"
       "Error: Specified timeout elapsed before service stop completed\n"},
      {"ServiceThatGoesBackToRunningGives9",
       30,
       [](DWORD ms) {
         return ms < 1500 ? Status(SERVICE_STOP_PENDING, 1, 5000) : Status(SERVICE_RUNNING);
       },
       9,
       {1000, 1000},
       " 01->:after 1000ms, checkpoint 1 wait hint = 5000ms\n"
       " 01->:after 2000ms, checkpoint 0 wait hint = 0ms\n"
       " 01->:unexpected service status SERVICE_RUNNING\n"
       "Error: Service entered a state other than STOPPED\n"},
      {"ServiceThatReportsAnUnknownStateGives9WithTheNumber",
       30,
       [](DWORD ms) { return ms < 500 ? Status(SERVICE_STOP_PENDING, 1, 0) : Status(42); },
       9,
       {1000},
       " 01->:after 1000ms, checkpoint 0 wait hint = 0ms\n"
       " 01->:unexpected service status 42\n"
       "Error: Service entered a state other than STOPPED\n"},
      {"StoppedInTheStopReplySkipsTheLoop",
       30,
       [](DWORD) { return Status(SERVICE_STOPPED); },
       0,
       {},
       "Service stop completed successfully\n"},
  };
  return cases[static_cast<size_t>(i)];
}

TEST_P(SvchaltWaitTest, FollowsTheWaitRules) {
  const WaitCase& c = WaitCaseAt(GetParam());
  SCOPED_TRACE(c.name);
  auto& a = fake.Add(L"A");
  a.afterStop = c.afterStop;
  a.controlMs = c.controlMs;
  const std::wstring timeout = std::to_wstring(c.timeoutSeconds);
  EXPECT_EQ(Run({L"svchalt", L"A", timeout}), c.code);
  const SERVICE_STATUS_PROCESS first = c.afterStop(0);
  const std::string head =
      " 01->No services are running which are dependent upon Service A\n"
      " 01->:Stopping service A\n"
      " 01->:ControlService(SERVICE_STOP) of A completed in " +
      std::to_string(c.controlMs) + "ms\n" +
      " 01->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is " +
      std::to_string(first.dwCheckPoint) + ", " + std::to_string(first.dwWaitHint) + "\n";
  EXPECT_EQ(fake.out,
            head + c.tail + "svchalt exiting with exit code " + std::to_string(c.code) + "\n");
  EXPECT_EQ(fake.sleeps, c.sleeps);
}

INSTANTIATE_TEST_SUITE_P(Cases, SvchaltWaitTest, ::testing::Range(0, 11),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(WaitCaseAt(info.param).name);
                         });

TEST_F(SvchaltTest, TheWaitSurvivesTheTickCounterWrapping) {
  FakePlatform f(0xFFFFF000);  // wraps 4096 ms into the wait
  f.Add(L"A").afterStop = Stopping(0, 0);
  EXPECT_EQ(testing::RunMain(SvchaltMain, f, {L"svchalt", L"A", L"6"}), 7);
  EXPECT_EQ(f.sleeps, std::vector<DWORD>(6, 1000));
  EXPECT_NE(f.out.find(" 01->:after 6000ms, checkpoint 1 wait hint = 0ms\n"), std::string::npos);
  EXPECT_TRUE(f.AllReleased());
}

TEST_F(SvchaltTest, AlreadyPendingStopWaitsWithoutAStopRequest) {
  fake.Add(L"A");
  fake.Follow(L"A", Stopping(4000, 200, 1200));
  EXPECT_EQ(Run({L"svchalt", L"A"}), 0);
  EXPECT_EQ(fake.out,
            " 01->No services are running which are dependent upon Service A\n"
            " 01->:Service A is already pending stop, waiting...\n"
            " 01->:after 1000ms, checkpoint 6 wait hint = 4000ms\n"
            " 01->:after 2000ms, checkpoint 0 wait hint = 0ms\n"
            "Service stop completed successfully\n"
            "svchalt exiting with exit code 0\n");
  EXPECT_EQ(fake.Service(L"A").stops, 0);
}

TEST_F(SvchaltTest, AFailedFirstQueryStillSendsTheStopAndALaterOneGives5) {
  auto& a = fake.Add(L"A");
  a.queriesBeforeFailure = 0;
  a.afterStop = Stopping(0, 0);
  EXPECT_EQ(Run({L"svchalt", L"A"}), 5);
  EXPECT_EQ(fake.out,
            " 01->No services are running which are dependent upon Service A\n"
            " 01->:Stopping service A\n"
            " 01->:ControlService(SERVICE_STOP) of A completed in 0ms\n"
            " 01->:ControlService(SERVICE_STOP) initial checkpoint and wait hint is 1, 0\n"
            "Attempt to query service Status failed due to error 6:The handle is invalid. "
            "Error: Attempt to query the status of the service failed\n"
            "svchalt exiting with exit code 5\n");
  EXPECT_EQ(a.stops, 1);
}

// 99999999999 s does not fit: it becomes the longest wait, not a wrapped
// (negative or tiny) one that would give up at once.
TEST_F(SvchaltTest, AHugeTimeoutIsClampedToTheLongestWait) {
  fake.Add(L"A").afterStop = Stopping(0, 1000, 50000);
  EXPECT_EQ(Run({L"svchalt", L"A", L"99999999999"}), 0);
  EXPECT_EQ(fake.sleeps, std::vector<DWORD>(50, 1000));
}

TEST_F(SvchaltTest, ArgumentErrorsPrintTheirTextAndExitCode1) {
  const struct {
    std::vector<std::wstring> args;
    const char* out;
  } cases[] = {
      {{L"C:\\tools\\svchalt.exe"},
       "usage is C:\\tools\\svchalt.exe <service_name> [<timeout>]\nexit code 1\n"},
      {{L"svchalt", L"A", L"5", L"x"},
       "usage is svchalt <service_name> [<timeout>]\nexit code 1\n"},
      {{L"svchalt", L"A", L"0"}, "invalid timeout 0\nexit code 1\n"},
      {{L"svchalt", L"A", L"abc"}, "invalid timeout abc\nexit code 1\n"},
      {{L"svchalt", L"A", L""}, "invalid timeout \nexit code 1\n"},
      {{L"svchalt", L"A", L"-"}, "invalid timeout -\nexit code 1\n"},
      {{L"svchalt", L"A", L" +0s"}, "invalid timeout  +0s\nexit code 1\n"},
  };
  fake.Add(L"A");
  for (const auto& c : cases) {
    fake.out.clear();
    EXPECT_EQ(Run(c.args), 1);
    EXPECT_EQ(fake.out, c.out);
  }
  EXPECT_TRUE(fake.managerAccess.empty());
}

TEST_F(SvchaltTest, AManagerThatCannotBeOpenedGivesCode10WithoutAVerdict) {
  fake.managerError = ERROR_ACCESS_DENIED;
  EXPECT_EQ(Run({L"svchalt", L"A"}), 10);
  EXPECT_EQ(fake.out,
            "Attempt to open Service Control Manager failed due to error 5:Access is denied. "
            "svchalt exiting with exit code 10\n");
}

TEST_F(SvchaltTest, AnErrorWithoutSystemTextUsesTheShortForm) {
  fake.Add(L"A").controlError = 0x2A2A;
  EXPECT_EQ(Run({L"svchalt", L"A"}), 4);
  EXPECT_NE(fake.out.find(" 01->:Stopping service A\n"
                          "Attempt to stop service failed due to error 10794"
                          "Error: Operating system request to stop service faile\n"),
            std::string::npos);
}

}  // namespace
}  // namespace svcctl
