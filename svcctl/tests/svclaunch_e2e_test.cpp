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

TEST(SvclaunchProgram, AStalledStartTimesOutWithTheWaitHintExceeded) {
  TestService svc(L"wtLaunchD", L"--start-ms 12000 --stall-start --hint-ms 500");
  ASSERT_EQ(svc.createError(), 0u);
  const DWORD start = GetTickCount();
  const auto r = RunTool(X86Program(L"svclaunch.exe"), {L"svclaunch", svc.name(), L"2"});
  // At its time-out, not when the service gets there (12 s); the bound
  // leaves room for a loaded machine.
  EXPECT_GE(MsSince(start), 2000u);
  EXPECT_LT(MsSince(start), 10000u);
  EXPECT_EQ(r.exitCode, 7u) << r.out;
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 2u) << r.out;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    EXPECT_TRUE(Matches(lines[i], "after \\d+ms, checkpoint 1 wait hint = 500ms"));
  }
  EXPECT_EQ(lines.back(),
            "user specified timeout has expired, AND service did not set up wait hint "
            "appropriately");
  EXPECT_TRUE(DeletesAtOnceAndGoes(svc.name()));
}

TEST(SvclaunchProgram, AStartHungWithinItsWaitHintTimesOutWith6) {
  // The checkpoint never moves, but the wait hint (30 s) outlasts the time-out.
  TestService svc(L"wtLaunchH", L"--start-ms 12000 --stall-start --hint-ms 30000");
  ASSERT_EQ(svc.createError(), 0u);
  const DWORD start = GetTickCount();
  const auto r = RunTool(X86Program(L"svclaunch.exe"), {L"svclaunch", svc.name(), L"2"});
  EXPECT_GE(MsSince(start), 2000u);
  EXPECT_LT(MsSince(start), 10000u);
  EXPECT_EQ(r.exitCode, 6u) << r.out;
  const auto lines = Lines(r.out);
  ASSERT_GE(lines.size(), 2u) << r.out;
  for (size_t i = 0; i + 1 < lines.size(); ++i)
    EXPECT_TRUE(Matches(lines[i], "after \\d+ms, checkpoint 1 wait hint = 30000ms"));
  EXPECT_EQ(lines.back(),
            "user specified timeout has expired, BUT service may have set up wait hint "
            "appropriately");
  EXPECT_TRUE(DeletesAtOnceAndGoes(svc.name()));
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
