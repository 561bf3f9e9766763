#include "wttest/service.h"

#include "wt/owned.h"
#include "wttest/platform.h"
#include "wttest/process.h"

namespace wttest {
namespace {

wt::OwnedServiceHandle OpenManager() {
  return wt::OwnedServiceHandle(::CloseServiceHandle,
                                OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
}

bool Query(SC_HANDLE service, SERVICE_STATUS* status) {
  *status = {};
  return QueryServiceStatus(service, status) != 0;
}

}  // namespace

std::wstring TestServiceCommandLine(const std::wstring& options) {
  // Always the 64-bit build: the service is multi-threaded (see
  // testing/CMakeLists.txt).
  std::wstring line = L"\"" + ArchProgram(L"x64", L"wt_testsvc.exe") + L"\"";
  if (!options.empty()) line += L" " + options;
  return line;
}

DWORD CreateTestService(const std::wstring& name, const std::wstring& options) {
  auto scm = OpenManager();
  if (!scm) return GetLastError();
  const std::wstring binary = TestServiceCommandLine(options);
  wt::Owned service(
      ::CloseServiceHandle,
      CreateServiceW(scm.get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS,
                     SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE,
                     binary.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
  return service ? 0 : GetLastError();
}

DWORD StartTestService(const std::wstring& name) {
  auto scm = OpenManager();
  if (!scm) return GetLastError();
  wt::Owned service(::CloseServiceHandle, OpenServiceW(scm.get(), name.c_str(), SERVICE_START));
  if (!service) return GetLastError();
  return StartServiceW(service.get(), 0, nullptr) ? 0 : GetLastError();
}

bool WaitForServiceState(const std::wstring& name, DWORD state, DWORD timeoutMs,
                         SERVICE_STATUS* last) {
  SERVICE_STATUS status = {};
  bool reached = false;
  auto scm = OpenManager();
  wt::OwnedServiceHandle service(::CloseServiceHandle);
  if (scm) service.reset(OpenServiceW(scm.get(), name.c_str(), SERVICE_QUERY_STATUS));
  const DWORD begin = GetTickCount();
  while (service) {
    if (!Query(service.get(), &status)) break;
    if (status.dwCurrentState == state) {
      reached = true;
      break;
    }
    if (GetTickCount() - begin >= timeoutMs) break;
    Sleep(50);
  }
  if (last) *last = status;
  return reached;
}

bool ServiceExists(const std::wstring& name) {
  auto scm = OpenManager();
  if (!scm) return false;
  wt::Owned service(::CloseServiceHandle,
                    OpenServiceW(scm.get(), name.c_str(), SERVICE_QUERY_STATUS));
  return static_cast<bool>(service);
}

bool RemoveServiceIfPresent(const std::wstring& name, DWORD timeoutMs) {
  {
    auto scm = OpenManager();
    if (!scm) return false;
    wt::Owned service(::CloseServiceHandle,
                      OpenServiceW(scm.get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    SERVICE_STATUS status = {};
    if (Query(service.get(), &status) && status.dwCurrentState != SERVICE_STOPPED) {
      ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
      WaitForServiceState(name, SERVICE_STOPPED, timeoutMs);
    }
    DeleteService(service.get());
  }
  // The manager drops a service marked for deletion once its last handle is
  // closed and its process is gone.
  const DWORD begin = GetTickCount();
  while (ServiceExists(name)) {
    if (GetTickCount() - begin >= timeoutMs) return false;
    Sleep(50);
  }
  return true;
}

ScopedServiceName::ScopedServiceName(const std::wstring& prefix) : name_(UniqueName(prefix)) {
  RemoveServiceIfPresent(name_);
}

ScopedServiceName::~ScopedServiceName() { RemoveServiceIfPresent(name_); }

}  // namespace wttest
