#include <cstdio>
#include <ctime>
#include <string>

#include "jnisupport/jnisupport.h"
#include "jnisupport/timestamp.h"

namespace jnisupport {

void WriteLogEntry(const char* prefix, const char* key, const char* value) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
#ifdef _WIN32
  (void)localtime_s(&local, &now);  // on failure the zeroed time is logged
#else
  (void)localtime_r(&now, &local);
#endif
  const std::string stamp = FormatLogTimestamp(local);
  // Two writes: entries of concurrent calls may interleave between a
  // timestamp line and its message line. No explicit flush: to a pipe or file
  // the entries appear when the stream's buffer is flushed. The log is the
  // only place a failed write could be told: it is ignored.
  (void)std::fputs(stamp.c_str(), stdout);
  std::string line = prefix ? prefix : "";
  line += ' ';
  line += key ? key : "";
  line += '=';
  line += value ? value : "";
  line += '\n';
  (void)std::fputs(line.c_str(), stdout);
}

void LogInfo(const char* key, const char* value) { WriteLogEntry("INFO:", key, value); }

void LogWarning(const char* key, const char* value) { WriteLogEntry("WARNING:", key, value); }

}  // namespace jnisupport
