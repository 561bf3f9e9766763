#include "e2e_support.h"

#include <regex>

#include "wt/owned.h"
#include "wttest/platform.h"
#include "wttest/service.h"

namespace svcctl::e2e {

namespace {

DWORD MsSince(DWORD start) { return GetTickCount() - start; }

}  // namespace

TestService::TestService(const std::wstring& prefix, const std::wstring& options,
                         const std::wstring& dependsOn)
    : name_(wttest::UniqueName(prefix)), display_(L"WT display " + name_) {
  wttest::RemoveServiceIfPresent(name_);
  wt::Owned scm(::CloseServiceHandle, OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!scm) {
    createError_ = GetLastError();
    return;
  }
  const std::wstring binary = wttest::TestServiceCommandLine(options);
  // Dependencies are a double-zero-terminated list.
  std::wstring dependencies = dependsOn.empty() ? std::wstring() : dependsOn + L'\0';
  wt::Owned service(
      ::CloseServiceHandle,
      CreateServiceW(scm.get(), name_.c_str(), display_.c_str(), SERVICE_ALL_ACCESS,
                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                     binary.c_str(), nullptr, nullptr,
                     dependsOn.empty() ? nullptr : dependencies.c_str(), nullptr, nullptr));
  if (!service) createError_ = GetLastError();
}

TestService::~TestService() {
  // A service still starting accepts no stop: let it reach RUNNING first, or
  // the removal would leave it running, marked for deletion.
  if (State() == SERVICE_START_PENDING) wttest::WaitForServiceState(name_, SERVICE_RUNNING, 30000);
  wttest::RemoveServiceIfPresent(name_);
}

bool TestService::StartAndWaitRunning() {
  return wttest::StartTestService(name_) == 0 &&
         wttest::WaitForServiceState(name_, SERVICE_RUNNING, 30000);
}

DWORD TestService::State() const {
  SERVICE_STATUS status = {};
  wttest::WaitForServiceState(name_, 0xFFFFFFFF, 0, &status);
  return status.dwCurrentState;
}

std::wstring Program(const std::wstring& fileName) { return wttest::BuiltProgram(fileName); }

std::wstring X86Program(const std::wstring& fileName) {
  return wttest::ArchProgram(L"x86", fileName);
}

wttest::ProcessResult RunTool(const std::wstring& path, std::vector<std::wstring> args,
                              DWORD timeoutMs) {
  std::wstring line;
  for (const auto& a : args) line += (line.empty() ? L"" : L" ") + wttest::QuoteArgument(a);
  wttest::ProcessOptions options;
  options.timeoutMs = timeoutMs;
  return wttest::RunProcess(path, line, options);
}

::testing::AssertionResult DeletesAtOnceAndGoes(const std::wstring& name) {
  {
    wt::Owned scm(::CloseServiceHandle, OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    wt::Owned service(
        ::CloseServiceHandle,
        scm ? OpenServiceW(scm.get(), name.c_str(), DELETE | SERVICE_STOP | SERVICE_QUERY_STATUS)
            : nullptr);
    if (!service) return ::testing::AssertionFailure() << "OpenServiceW error " << GetLastError();
    if (!DeleteService(service.get()))
      return ::testing::AssertionFailure() << "DeleteService error " << GetLastError();
    // A start runs on to RUNNING (then the service is stopped), a stop to STOPPED.
    SERVICE_STATUS status = {};
    for (const DWORD start = GetTickCount(); MsSince(start) < 60000; Sleep(100)) {
      if (!QueryServiceStatus(service.get(), &status) || status.dwCurrentState == SERVICE_STOPPED)
        break;
      if (status.dwCurrentState == SERVICE_RUNNING)
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    }
  }
  for (const DWORD start = GetTickCount(); MsSince(start) < 10000; Sleep(50))
    if (!wttest::ServiceExists(name)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "still there 10 s after it stopped";
}

wttest::ProcessResult RunWithTwoSecondTimeout(const std::wstring& path, const std::wstring& tool,
                                              const std::wstring& service) {
  const DWORD start = GetTickCount();
  auto r = RunTool(path, {tool, service, L"2"});
  EXPECT_GE(MsSince(start), 2000u);
  EXPECT_LT(MsSince(start), 10000u);
  return r;
}

::testing::AssertionResult Matches(const std::string& line, const std::string& pattern) {
  if (std::regex_match(line, std::regex(pattern))) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "'" << line << "' does not match /" << pattern << "/";
}

std::vector<std::string> Lines(const std::string& out) {
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < out.size()) {
    const size_t end = out.find("\r\n", at);
    if (end == std::string::npos) {
      lines.push_back(out.substr(at));
      break;
    }
    lines.push_back(out.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

}  // namespace svcctl::e2e
