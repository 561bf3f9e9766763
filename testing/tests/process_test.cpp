#include "wttest/process.h"

#include "wttest/platform.h"

#include <gtest/gtest.h>

namespace {

using wttest::BuiltProgram;
using wttest::JoinCommandLine;
using wttest::RunProcess;

TEST(ProcessRunner, CapturesBothStreamsAndExitCodeExactly) {
  const auto exe = BuiltProgram(L"wt_echo.exe");
  auto r = RunProcess(exe, JoinCommandLine({L"wt_echo", L"219", L"out:a\\r\\nb\\n", L"err:e\\n"}));
  ASSERT_TRUE(r.started) << r.startError;
  EXPECT_FALSE(r.timedOut);
  EXPECT_EQ(r.out, "a\r\nb\n");
  EXPECT_EQ(r.err, "e\n");
  EXPECT_EQ(r.exitCode, 219u);
}

TEST(ProcessRunner, FeedsStandardInputAndClosesIt) {
  wttest::ProcessOptions o;
  o.input = "secret\r\nrest";
  auto r = RunProcess(BuiltProgram(L"wt_echo.exe"), L"wt_echo 0 stdin", o);
  EXPECT_EQ(r.out, "secret\r\nrest");
  EXPECT_EQ(r.exitCode, 0u);
}

TEST(ProcessRunner, QuotingRoundTripsThroughTheRuntime) {
  const std::wstring tricky[] = {L"", L"a b", L"q\"uote", L"back\\\\", L"end\\", L"\\\"x"};
  std::wstring line = L"wt_echo 0 args";
  for (const auto& t : tricky) line += L" " + wttest::QuoteArgument(t);
  auto r = RunProcess(BuiltProgram(L"wt_echo.exe"), line);
  EXPECT_EQ(r.out, "[wt_echo][0][args][][a b][q\"uote][back\\\\][end\\][\\\"x]");
}

TEST(ProcessRunner, KillsAProcessThatOutlivesItsTimeout) {
  wttest::ProcessOptions o;
  o.timeoutMs = 500;
  auto r = RunProcess(BuiltProgram(L"wt_echo.exe"), L"wt_echo 0 sleep:60000", o);
  EXPECT_TRUE(r.timedOut);
}

TEST(ProcessRunner, StartsThe32BitBuildOfAProgram) {
  const auto exe = wttest::ArchProgram(L"x86", L"wt_echo.exe");
  auto r = RunProcess(exe, JoinCommandLine({L"wt_echo", L"7", L"out:x86\\n"}));
  ASSERT_TRUE(r.started) << "not built? " << wttest::Narrow(exe);
  EXPECT_EQ(r.out, "x86\n");
  EXPECT_EQ(r.exitCode, 7u);
}

TEST(ProcessRunner, ReportsAMissingProgram) {
  auto r = RunProcess(BuiltProgram(L"no_such_program.exe"), L"x");
  EXPECT_FALSE(r.started);
  EXPECT_EQ(r.startError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

}  // namespace
