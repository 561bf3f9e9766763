// What the RunTool custom action adds to a tool's start-to-exit time.
//
//   toolrun_bench <runs> <command line>
//
// Runs the command line <runs> times directly (standard output and error to
// a temporary file, no console window) and <runs> times through the RunTool
// operation (the real process, pipe and job calls; the installer's calls
// replaced by ones that do nothing), in pairs, so both see the same machine; prints the
// median time of each, their ratio and the median of the pairs' ratios. One
// untimed warm-up run of each first.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "run_tool.h"
#include "standin_installer.h"
#include "timing.h"

namespace {

// Without a console window, as RunTool starts it, but with no pipe, job or log.
double Direct(const std::wstring& commandLine, HANDLE sink) {
  return bench::TimeProcess(nullptr, commandLine, sink, CREATE_NO_WINDOW);
}

double Through(const toolrun::Platform& p) {
  const double start = bench::NowMs();
  toolrun::RunTool(p, 1);
  return bench::NowMs() - start;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: toolrun_bench <runs> <command line>\n", stderr);
    return 2;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  const std::wstring commandLine = argv[2];
  // The tool's own verdict (its exit code) is not what is timed.
  const toolrun::Platform p =
      toolrun::StandInInstaller(L"action=Bench;cmd=" + commandLine, nullptr);
  HANDLE sink = bench::OpenSink();
  if (sink == INVALID_HANDLE_VALUE) return 3;

  if (Direct(commandLine, sink) < 0) {
    std::printf("%ls could not be started\n", commandLine.c_str());
    CloseHandle(sink);
    return 1;
  }
  Through(p);
  std::vector<double> direct, through, ratios;
  for (int i = 0; i < runs; ++i) {
    const double d = Direct(commandLine, sink);
    const double t = Through(p);
    direct.push_back(d);
    through.push_back(t);
    ratios.push_back(d > 0 ? t / d : 0);
  }
  CloseHandle(sink);
  const double md = bench::Median(direct), mt = bench::Median(through);
  std::printf("%ls, %d pairs\n", commandLine.c_str(), runs);
  std::printf("%-28s %10.1f ms\n", "direct (median)", md);
  std::printf("%-28s %10.1f ms\n", "through RunTool (median)", mt);
  std::printf("%-28s %10.2f\n", "ratio of the medians", md > 0 ? mt / md : 0.0);
  std::printf("%-28s %10.2f\n", "median of the pairs' ratios", bench::Median(ratios));
  return 0;
}
