// The timestamp line of a log entry. Pure text: no Windows header, so it also
// builds and runs with the host compiler.
#pragma once

#include <ctime>
#include <string>

namespace jnisupport {

// "Www Mmm dd hh:mm:ss yyyy\n": English weekday and month names, the day with
// a leading zero (08, not " 8"), 24-hour time. 24 characters and the line
// feed for every four-digit year. Fields out of range are written as "???"
// names or as their plain numbers, never read past a table.
std::string FormatLogTimestamp(const std::tm& time);

}  // namespace jnisupport
