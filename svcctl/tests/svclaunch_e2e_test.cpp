// svclaunch.exe (x86) as a real process against the real service manager,
// with the scripted test service. The driver and the test service run as x64
// programs (see X86Program); only the tool itself is 32-bit.
#include <gtest/gtest.h>

#include <regex>

#include "e2e_support.h"
#include "wttest/platform.h"

namespace svcctl::e2e {
namespace {

using wttest::Narrow;

TEST(SvclaunchProgram, StartsAndWaitsThroughRisingCheckpoints) {
  TestService svc(L"wtLaunchA", L"--start-ms 2500 --hint-ms 3000");
  ASSERT_EQ(svc.createError(), 0u);
  const auto r = RunTool(X86Program(L"svclaunch.exe"), {L"svclaunch", svc.name(), L"30"});
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0u) << r.out;
  EXPECT_EQ(r.err, "");
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 2u) << r.out;
  DWORD lastCheckpoint = 0;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    std::smatch m;
    ASSERT_TRUE(std::regex_match(lines[i], m,
                                 std::regex("after \\d+ms, checkpoint (\\d+) wait hint = 3000ms")))
        << lines[i];
    const DWORD checkpoint = std::stoul(m[1]);
    EXPECT_GT(checkpoint, lastCheckpoint);
    lastCheckpoint = checkpoint;
  }
  EXPECT_TRUE(Matches(lines.back(), "after \\d+ms, checkpoint 0 wait hint = 0ms"));
  EXPECT_EQ(svc.State(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST(SvclaunchProgram, ARunningServiceIsAlreadyRunning) {
  TestService svc(L"wtLaunchB", L"");
  ASSERT_EQ(svc.createError(), 0u);
  ASSERT_TRUE(svc.StartAndWaitRunning());
  const auto r = RunTool(X86Program(L"svclaunch.exe"), {L"svclaunch", svc.name()});
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_EQ(r.out, "Service " + Narrow(svc.name()) + " is already running\r\n");
}

TEST(SvclaunchProgram, AServiceThatStopsByItselfWhileStartingGives8) {
  // Reaches RUNNING after 2.5 s and stops at once, between two polls.
  TestService svc(L"wtLaunchC", L"--start-ms 2500 --hint-ms 3000 --exit-after-ms 0 --exit-code 1");
  ASSERT_EQ(svc.createError(), 0u);
  const auto r = RunTool(X86Program(L"svclaunch.exe"), {L"svclaunch", svc.name()});
  EXPECT_EQ(r.exitCode, 8u) << r.out;
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 2u) << r.out;
  EXPECT_EQ(lines.back(), "unexpected service status SERVICE_STOPPED");
}

TEST(SvclaunchProgram, AHungStartTimesOutWith7OrWithinItsWaitHintWith6) {
  // The checkpoint never moves. A wait hint shorter than the time-out gives
  // 7; one that outlasts it (30 s) gives 6.
  const struct {
    const wchar_t* prefix;
    const char* hint;
    DWORD code;
    const char* verdict;
  } cases[] = {
      {L"wtLaunchD", "500", 7,
       "user specified timeout has expired, AND service did not set up wait hint appropriately"},
      {L"wtLaunchH", "30000", 6,
       "user specified timeout has expired, BUT service may have set up wait hint appropriately"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hint);
    TestService svc(c.prefix,
                    L"--start-ms 12000 --stall-start --hint-ms " + wttest::Widen(c.hint));
    ASSERT_EQ(svc.createError(), 0u);
    const auto r =
        RunWithTwoSecondTimeout(X86Program(L"svclaunch.exe"), L"svclaunch", svc.name());
    EXPECT_EQ(r.exitCode, c.code) << r.out;
    const auto lines = Lines(r.out);
    ASSERT_GE(lines.size(), 2u) << r.out;
    for (size_t i = 0; i + 1 < lines.size(); ++i) {
      EXPECT_TRUE(Matches(lines[i], std::string("after \\d+ms, checkpoint 1 wait hint = ") +
                                        c.hint + "ms"));
    }
    EXPECT_EQ(lines.back(), c.verdict);
    EXPECT_TRUE(DeletesAtOnceAndGoes(svc.name()));
  }
}

TEST(SvclaunchProgram, AnInvalidNameGives2AndAnUnknownService3) {
  const struct {
    std::wstring name;
    DWORD code;
    const char* pattern;
  } cases[] = {
      {L"a/b", 2, "Attempt to open service handle failed due to error 123:[^\r\n]+"},
      {wttest::UniqueName(L"wtLaunchNone"), 3,
       "Attempt to open service handle failed due to error 1060:[^\r\n]+"},
  };
  for (const auto& c : cases) {
    const auto r = RunTool(X86Program(L"svclaunch.exe"), {L"svclaunch", c.name});
    EXPECT_EQ(r.exitCode, c.code);
    // No line end: the error line is the last thing printed.
    EXPECT_TRUE(Matches(r.out, c.pattern));
  }
}

TEST(SvclaunchProgram, ArgumentErrorsExitWith1) {
  const struct {
    std::vector<std::wstring> args;
    const char* out;
  } cases[] = {
      {{L"svclaunch"}, "usage is svclaunch <service_name> [<timeout>]\r\n"},
      {{L"svclaunch", L"a", L"abc"}, "invalid timeout abc\r\n"},
  };
  for (const auto& c : cases) {
    const auto r = RunTool(X86Program(L"svclaunch.exe"), c.args);
    EXPECT_EQ(r.exitCode, 1u);
    EXPECT_EQ(r.out, c.out);
  }
}

}  // namespace
}  // namespace svcctl::e2e
