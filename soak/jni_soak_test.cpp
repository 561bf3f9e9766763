// The JNI libraries (x64) in one process: every method but SystemShutdown
// called many times with realistic arguments (WT_SOAK_CALLS, 3,000 in the test
// run, 10,000 by scripts/soak). Handles, private bytes and the host's
// unreleased strings must end where they started.
#include "jni_soak.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

// A handle leaked per call shows as thousands; a few may come and go inside
// the system DLLs.
constexpr long kHandleMargin = 4;

// The heap grows in steps of 64 KB (seen once, by the first large copy
// buffer). Per method 256 KB: a leak of 88 bytes per call over 3,000 calls,
// of 26 bytes over 10,000. Per library 512 KB.
constexpr long long kMethodPrivateBytesMargin = 256 * 1024;
constexpr SIZE_T kPrivateBytesMargin = 512 * 1024;

int Calls() {
  char value[16];
  const DWORD n = GetEnvironmentVariableA("WT_SOAK_CALLS", value, sizeof value);
  const int calls = n > 0 && n < sizeof value ? std::atoi(value) : 0;
  return calls > 0 ? calls : 3000;
}

void Soak(const char* name, soak::Workload& workload) {
  ASSERT_EQ(workload.setupError, "");
  if (!workload.note.empty()) std::printf("%s: %s\n", name, workload.note.c_str());
  const soak::LibraryResult r = soak::Run(workload, Calls());
  ASSERT_EQ(r.loadError, "");
  std::printf("%s: %lld calls in %.1f s; handles %lu -> %lu; private bytes %zu KB -> %zu KB\n",
              name, r.calls, r.seconds, static_cast<unsigned long>(r.before.handles),
              static_cast<unsigned long>(r.after.handles), r.before.privateBytes / 1024,
              r.after.privateBytes / 1024);
  for (const auto& m : r.methods) {
    EXPECT_EQ(m.unexpected, 0) << m.name << ": unexpected results";
    EXPECT_LE(std::labs(m.handleDelta), kHandleMargin) << m.name << " changed the handle count";
    EXPECT_LE(m.privateDelta, kMethodPrivateBytesMargin)
        << m.name << " grew the private bytes over " << m.calls << " calls";
  }
  EXPECT_EQ(r.outstandingChars, 0) << "strings never released";
  EXPECT_TRUE(r.errors.empty()) << r.errors.front();
  EXPECT_LE(r.after.handles, r.before.handles + kHandleMargin);
  EXPECT_LE(r.after.privateBytes, r.before.privateBytes + kPrivateBytesMargin);
}

TEST(JniSoak, HostProbeEndsWhereItStarted) { Soak("libHostProbe", *soak::HostProbeWorkload()); }

TEST(JniSoak, RegKitEndsWhereItStarted) { Soak("libRegKit", *soak::RegKitWorkload()); }

}  // namespace
