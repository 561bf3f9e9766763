#include <gtest/gtest.h>

#include "jnisupport/timestamp.h"

namespace {

std::tm Time(int year, int mon, int mday, int wday, int h, int m, int s) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = mon;
  t.tm_mday = mday;
  t.tm_wday = wday;
  t.tm_hour = h;
  t.tm_min = m;
  t.tm_sec = s;
  return t;
}

TEST(FormatLogTimestamp, TwentyFourCharactersAndALineFeed) {
  struct Case {
    std::tm time;
    const char* line;
  } cases[] = {
      // A day below 10 gets a leading zero, not a space.
      {Time(2026, 11, 8, 2, 3, 17, 47), "Tue Dec 08 03:17:47 2026\n"},
      {Time(2027, 0, 1, 5, 0, 0, 0), "Fri Jan 01 00:00:00 2027\n"},
      {Time(2026, 5, 30, 0, 23, 59, 59), "Sun Jun 30 23:59:59 2026\n"},
      {Time(1999, 8, 9, 4, 9, 5, 1), "Thu Sep 09 09:05:01 1999\n"},
  };
  for (const Case& c : cases) {
    const std::string line = jnisupport::FormatLogTimestamp(c.time);
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(line.size(), 25u);
  }
}

TEST(FormatLogTimestamp, FieldsOutOfRangeReadNoTable) {
  std::tm t = Time(2026, 12, 8, 7, 3, 17, 47);
  EXPECT_EQ(jnisupport::FormatLogTimestamp(t), "??? ??? 08 03:17:47 2026\n");
}

}  // namespace
