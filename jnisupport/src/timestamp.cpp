#include "jnisupport/timestamp.h"

#include <cstdio>

namespace jnisupport {

std::string FormatLogTimestamp(const std::tm& t) {
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const char* day = (t.tm_wday >= 0 && t.tm_wday < 7) ? kDays[t.tm_wday] : "???";
  const char* month = (t.tm_mon >= 0 && t.tm_mon < 12) ? kMonths[t.tm_mon] : "???";
  char line[96];  // holds the line whatever the fields hold
  (void)std::snprintf(line, sizeof line, "%.3s %.3s %02d %02d:%02d:%02d %d\n", day, month,
                      t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900);
  return line;
}

}  // namespace jnisupport
