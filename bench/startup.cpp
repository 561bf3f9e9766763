// Start-to-exit time of programs against the minimal console program.
//
//   bench_startup <runs> <minimal.exe> <program.exe> [program.exe ...]
//
// Starts each program with no arguments (each prints its usage and ends)
// <runs> times, interleaved with the minimal program so that both see the
// same machine, and prints the median start-to-exit time of each and their
// ratio. Output goes to a temporary file: under Wine a write to /dev/null
// costs more than a whole short program.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "timing.h"

namespace {

// The program started without arguments.
double TimeOnce(const std::wstring& program, HANDLE sink) {
  return bench::TimeProcess(program.c_str(), L"\"" + program + L"\"", sink, 0);
}

std::wstring BaseName(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fputs("usage: bench_startup <runs> <minimal.exe> <program.exe>...\n", stderr);
    return 2;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  const std::wstring minimal = argv[2];

  HANDLE sink = bench::OpenSink();
  if (sink == INVALID_HANDLE_VALUE) return 3;

  // One warm-up start of each, untimed: the first start pays for the loader's
  // caches.
  TimeOnce(minimal, sink);
  for (int p = 3; p < argc; ++p) TimeOnce(argv[p], sink);

  std::printf("%-16s %12s %12s %8s\n", "program", "median ms", "minimal ms", "ratio");
  int status = 0;
  for (int p = 3; p < argc; ++p) {
    std::vector<double> own, base;
    for (int i = 0; i < runs; ++i) {
      const double b = TimeOnce(minimal, sink);
      const double o = TimeOnce(argv[p], sink);
      if (b < 0 || o < 0) {
        std::printf("%-16ls could not be started\n", BaseName(argv[p]).c_str());
        status = 1;
        break;
      }
      base.push_back(b);
      own.push_back(o);
    }
    if (own.empty()) continue;
    const double mo = bench::Median(own), mb = bench::Median(base);
    std::printf("%-16ls %12.1f %12.1f %8.2f\n", BaseName(argv[p]).c_str(), mo, mb,
                mb > 0 ? mo / mb : 0.0);
  }
  CloseHandle(sink);
  return status;
}
