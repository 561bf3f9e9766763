// The JNI libraries (x64) soaked: every method but SystemShutdown called
// `calls` times in this one process with realistic arguments (see
// soak/jni_soak.h). Prints per library the handle count and private bytes
// before and after and the calls per second, then each method's figures.
//
//   soak_bench [calls per method]      (default 100000)
//
// Never fails on a figure; exits 1 only when a library cannot be soaked at all.
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "jni_soak.h"

namespace {

double Kb(SIZE_T bytes) { return static_cast<double>(bytes) / 1024.0; }

bool Report(const char* name, soak::Workload& workload, int calls) {
  if (!workload.setupError.empty()) {
    std::printf("%s: cannot soak: %s\n", name, workload.setupError.c_str());
    return false;
  }
  if (!workload.note.empty()) std::printf("%s: %s\n", name, workload.note.c_str());
  const soak::LibraryResult r = soak::Run(workload, calls);
  if (!r.loadError.empty()) {
    std::printf("%s: cannot load: %s\n", name, r.loadError.c_str());
    return false;
  }
  std::printf("%s: %d methods x %d calls in %.1f s, %.0f calls/s\n", name,
              static_cast<int>(r.methods.size()), calls, r.seconds,
              static_cast<double>(r.calls) / r.seconds);
  std::printf("  handles        %8lu    before %8lu    after%s\n",
              static_cast<unsigned long>(r.before.handles),
              static_cast<unsigned long>(r.after.handles),
              r.before.handlesCounted ? "  (counted in the system handle table)" : "");
  std::printf("  private bytes  %8.0f KB before %8.0f KB after (%+.0f KB)%s\n",
              Kb(r.before.privateBytes), Kb(r.after.privateBytes),
              Kb(r.after.privateBytes) - Kb(r.before.privateBytes),
              r.before.privateBytesSummed ? "  (committed private regions)" : "");
  std::printf("  strings not released %d, JNI misuse %d\n", r.outstandingChars,
              static_cast<int>(r.errors.size()));
  std::printf("  %-26s %10s %12s %10s %8s %11s\n", "method", "calls/s", "us per call", "unexpected",
              "handles", "private KB");
  for (const auto& m : r.methods)
    std::printf("  %-26s %10.0f %12.1f %10d %+8ld %+11.0f\n", m.name.c_str(), m.calls / m.seconds,
                m.seconds * 1e6 / m.calls, m.unexpected, m.handleDelta,
                static_cast<double>(m.privateDelta) / 1024.0);
  std::fflush(stdout);
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int calls = argc > 1 ? static_cast<int>(std::wcstol(argv[1], nullptr, 10)) : 100000;
  if (calls <= 0) {
    std::fprintf(stderr, "usage: soak_bench [calls per method]\n");
    return 2;
  }
  bool ok = true;
  {
    auto w = soak::HostProbeWorkload();
    ok = Report("libHostProbe", *w, calls) && ok;
  }
  {
    auto w = soak::RegKitWorkload();
    ok = Report("libRegKit", *w, calls) && ok;
  }
  return ok ? 0 : 1;
}
