// Timeout arguments, the poll interval, names and verdicts, and the system
// error report line.
#include "rules.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "errorline.h"
#include "fake_platform.h"
#include "wttest/platform.h"

namespace svcctl {
namespace {

TEST(Rules, TimeoutArgumentsReadLikeTheRuntimesIntegerConversion) {
  const struct {
    const wchar_t* text;
    std::int64_t seconds;
  } cases[] = {
      {L"60", 60},
      {L"  \t42", 42},
      {L"+7", 7},
      {L"-5", -5},
      {L"12abc", 12},
      {L"abc", 0},
      {L"", 0},
      {L"-", 0},
      {L"0", 0},
      {L"00030", 30},
      {L"3 4", 3},
      {L"1e3", 1},
      {L"\u0661\u0662", 0},  // Arabic-Indic digits are not decimal digits here
      {L"99999999999999999999999999", 1000000000000LL},
      {L"-99999999999999999999999999", -1000000000000LL},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ParseTimeoutSeconds(c.text), c.seconds) << wttest::Narrow(c.text);
  }
}

TEST(Rules, TimeoutsThatOverflowClampToTheLongestWait) {
  EXPECT_EQ(StopTimeoutMs(30), 30000);
  EXPECT_EQ(StopTimeoutMs(-1), -1000);
  EXPECT_EQ(StopTimeoutMs(2147483), 2147483000);
  EXPECT_EQ(StopTimeoutMs(2147484), INT32_MAX);
  EXPECT_EQ(StopTimeoutMs(1000000000000LL), INT32_MAX);
  EXPECT_EQ(StopTimeoutMs(-2147484), INT32_MIN);  // still negative: no waiting
  EXPECT_EQ(StopTimeoutMs(INT64_MAX), INT32_MAX);  // x 1000 would overflow 64 bits
  EXPECT_EQ(StopTimeoutMs(INT64_MIN), INT32_MIN);

  EXPECT_EQ(StartTimeoutMs(30), 30000u);
  EXPECT_EQ(StartTimeoutMs(-1), 4294966296u);
  EXPECT_EQ(StartTimeoutMs(-2147483), 2147484296u);
  EXPECT_EQ(StartTimeoutMs(4294967), 4294967000u);
  EXPECT_EQ(StartTimeoutMs(4294968), UINT32_MAX);
  EXPECT_EQ(StartTimeoutMs(-2147484), UINT32_MAX);
  EXPECT_EQ(StartTimeoutMs(-1000000000000LL), UINT32_MAX);
  EXPECT_EQ(StartTimeoutMs(INT64_MAX), UINT32_MAX);
  EXPECT_EQ(StartTimeoutMs(INT64_MIN), UINT32_MAX);
}

TEST(Rules, PollIntervalIsATenthOfTheHintBetweenOneAndTenSecondsWithinTheTimeLeft) {
  const struct {
    std::uint32_t hint, remaining, sleep;
  } cases[] = {
      {0, 60000, 1000},       {9999, 60000, 1000},
      {20000, 60000, 2000},   {100000, 60000, 10000},
      {200000, 60000, 10000}, {200000, 4000, 4000},
      {200000, 500, 1000},    {0xFFFFFFFF, 0xFFFFFFFF, 10000},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PollIntervalMs(c.hint, c.remaining), c.sleep) << c.hint << " " << c.remaining;
  }
}

TEST(Rules, StateNamesAndVerdicts) {
  EXPECT_STREQ(ServiceStateName(1), "SERVICE_STOPPED");
  EXPECT_STREQ(ServiceStateName(4), "SERVICE_RUNNING");
  EXPECT_STREQ(ServiceStateName(7), "SERVICE_PAUSED");
  EXPECT_EQ(ServiceStateName(0), nullptr);
  EXPECT_EQ(ServiceStateName(8), nullptr);
  EXPECT_STREQ(StopVerdictText(4), "Error: Operating system request to stop service faile");
  EXPECT_STREQ(StopVerdictText(8), "unexpected exit status 8");
  EXPECT_EQ(StopVerdictText(14), nullptr);
  EXPECT_EQ(StopVerdictText(-1), nullptr);
}

TEST(ErrorLine, PrintsTheSystemTextOrTheShortFormWithoutALineBreak) {
  testing::FakePlatform f;
  f.messages[5] = "Access is denied. ";
  ReportSystemError(f, "Attempt to stop service", 5);
  ReportSystemError(f, "Attempt to stop service", 0x80070005);
  EXPECT_EQ(f.out,
            "Attempt to stop service failed due to error 5:Access is denied. "
            "Attempt to stop service failed due to error -2147024891");
  EXPECT_EQ(f.formatFlags, (std::vector<DWORD>{0x13FF, 0x13FF}));
  EXPECT_EQ(f.formatLanguages, (std::vector<DWORD>{0, 0}));
  EXPECT_TRUE(f.AllReleased());
}

}  // namespace
}  // namespace svcctl
