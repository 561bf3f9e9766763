// The yardstick of bench/startup: a console program that prints a usage line
// and exits, linked like the deliverables (static runtime, kernel32 and the C
// runtime only).
#include <cstdio>

int wmain() {
  std::fputs("USAGE:\n  minimal <nothing>\n", stdout);
  return 1;
}
