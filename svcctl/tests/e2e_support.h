// Shared pieces of the end-to-end tests: a uniquely named test service that
// is removed before and after use, and running a tool as a real process.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "wttest/process.h"

namespace svcctl::e2e {

// A test service (testing/tools/wt_testsvc.exe with scripted options) with a
// display name of its own, created with CreateServiceW and deleted again,
// stopping it first if it runs, by the destructor.
class TestService {
 public:
  // dependsOn: key name of a service this one depends on, or empty.
  TestService(const std::wstring& prefix, const std::wstring& options,
              const std::wstring& dependsOn = L"");
  ~TestService();
  TestService(const TestService&) = delete;
  TestService& operator=(const TestService&) = delete;

  const std::wstring& name() const { return name_; }
  const std::wstring& display() const { return display_; }
  DWORD createError() const { return createError_; }

  // Starts the service and waits until it runs; returns whether it does.
  bool StartAndWaitRunning();
  // The state read through QueryServiceStatus (0 when it cannot be read).
  DWORD State() const;

 private:
  std::wstring name_;
  std::wstring display_;
  DWORD createError_ = 0;
};

// Runs the program at path with the given arguments (argument 0 is the bare
// program name, as a caller on the PATH would type it).
wttest::ProcessResult RunTool(const std::wstring& path, std::vector<std::wstring> args,
                              DWORD timeoutMs = 120000);

// A program of this tree's build ("svchalt.exe").
std::wstring Program(const std::wstring& fileName);

// A program of the sibling x86 tree (build/x86/bin), for the x86 deliverable
// svclaunch. The end-to-end drivers run in the x64 tree only: Wine's 32-bit
// half runs under a user-mode emulator that is reliable for single-threaded
// processes such as the tools, but not for multi-threaded ones such as a
// test driver or the test service with its dispatcher thread.
std::wstring X86Program(const std::wstring& fileName);

// After a tool has given up on a service that hangs in its start or stop:
// the service deletes at once (nothing the tool did is left holding it, so
// no ERROR_SERVICE_MARKED_FOR_DELETE), and once the pending start or stop has
// run its course and the service is stopped, it is gone.
::testing::AssertionResult DeletesAtOnceAndGoes(const std::wstring& name);

// Runs a tool with a time-out of 2 s against a service hung in its start or
// stop for 12 s, and expects it to end at its time-out, not when the service
// gets there (the bound leaves room for a loaded machine).
wttest::ProcessResult RunWithTwoSecondTimeout(const std::wstring& path, const std::wstring& tool,
                                              const std::wstring& service);

// Whether line matches the whole regular expression pattern.
::testing::AssertionResult Matches(const std::string& line, const std::string& pattern);

// The output split at "\r\n"; a last piece without a line end is kept.
std::vector<std::string> Lines(const std::string& out);

}  // namespace svcctl::e2e
