// Services for end-to-end tests: the scripted test service wt_testsvc.exe
// (its options are described at the top of testing/tools/wt_testsvc.cpp) and
// clean-up that leaves no test service behind.
#pragma once

#include <windows.h>

#include <string>

namespace wttest {

// BinaryPathName running this build's wt_testsvc.exe with the given options
// ("--start-ms 500 --hint-ms 2000"), the program path quoted.
std::wstring TestServiceCommandLine(const std::wstring& options = L"");

// Creates an own-process, demand-start service running the test service with
// these options. Returns 0 or the creation's error code.
DWORD CreateTestService(const std::wstring& name, const std::wstring& options = L"");

// Starts the named service. Returns 0 or StartServiceW's error code.
DWORD StartTestService(const std::wstring& name);

// Polls the service's status every 50 ms until its state is `state` or
// timeoutMs passed. Returns whether it got there; *last gets the last status
// read (all zero when the service could not be queried).
bool WaitForServiceState(const std::wstring& name, DWORD state, DWORD timeoutMs,
                         SERVICE_STATUS* last = nullptr);

// Whether a service of that key name exists.
bool ServiceExists(const std::wstring& name);

// Stops the service if it runs (waiting up to timeoutMs for it to stop) and
// deletes it; waits until the manager has forgotten it. True when it is gone.
bool RemoveServiceIfPresent(const std::wstring& name, DWORD timeoutMs = 30000);

// A uniquely named service slot that is cleared before use and on scope exit.
class ScopedServiceName {
 public:
  explicit ScopedServiceName(const std::wstring& prefix);
  ~ScopedServiceName();
  ScopedServiceName(const ScopedServiceName&) = delete;
  ScopedServiceName& operator=(const ScopedServiceName&) = delete;
  const std::wstring& name() const { return name_; }

 private:
  std::wstring name_;
};

}  // namespace wttest
