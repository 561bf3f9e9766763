#include "messages.h"
#include "operations.h"
#include "report.h"
#include "wt/owned.h"

namespace svcdefine {
namespace {

constexpr DWORD kFirstWaitMs = 1000;
constexpr DWORD kMaxHintWaitMs = 20000;
// 0xF003F: the standard required rights (DELETE among them) and the rights
// to query, reconfigure, enumerate, start and stop; no pause or user controls.
constexpr DWORD kServiceAccess = STANDARD_RIGHTS_REQUIRED | SERVICE_QUERY_CONFIG |
                                 SERVICE_CHANGE_CONFIG | SERVICE_QUERY_STATUS |
                                 SERVICE_ENUMERATE_DEPENDENTS | SERVICE_START | SERVICE_STOP;

// The stop, when the service runs: 0 once it reports STOPPED, else the
// message id already printed (505, 506, 507).
int StopIfRunning(const Platform& platform, SC_HANDLE service) {
  SERVICE_STATUS status = {};
  if (!platform.QueryServiceStatus(service, &status)) {
    const DWORD error = GetLastError();
    PrintErrorReport(platform, kQueryServiceStatusFailed, error);
    return kQueryServiceStatusFailed;
  }
  // Stopped, paused and pending services are deleted without a stop request.
  if (status.dwCurrentState != SERVICE_RUNNING) return 0;
  if (!platform.ControlService(service, SERVICE_CONTROL_STOP, &status)) {
    const DWORD error = GetLastError();
    PrintErrorReport(platform, kControlServiceFailed, error);
    return kControlServiceFailed;
  }
  platform.Sleep(kFirstWaitMs);
  if (!platform.QueryServiceStatus(service, &status)) {
    const DWORD error = GetLastError();
    PrintErrorReport(platform, kQueryServiceStatusFailed, error);
    return kQueryServiceStatusFailed;
  }
  if (status.dwCurrentState == SERVICE_STOP_PENDING) {
    platform.Sleep(status.dwWaitHint < kMaxHintWaitMs ? status.dwWaitHint : kMaxHintWaitMs);
  }
  if (!platform.QueryServiceStatus(service, &status)) {
    const DWORD error = GetLastError();
    PrintErrorReport(platform, kQueryServiceStatusFailed, error);
    return kQueryServiceStatusFailed;
  }
  if (status.dwCurrentState != SERVICE_STOPPED) {
    // No call failed, so there is no system text to follow the message.
    PrintMessage(platform, kStopServiceFailed);
    return kStopServiceFailed;
  }
  return 0;
}

}  // namespace

int RemoveService(const Platform& platform, const std::wstring& serviceName) {
  wt::Owned scm(platform.CloseServiceHandle,
                platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!scm) {
    const DWORD error = GetLastError();
    PrintErrorReport(platform, kOpenScManagerFailed, error);
    return kOpenScManagerFailed;
  }
  wt::Owned service(platform.CloseServiceHandle,
                    platform.OpenServiceW(scm.get(), serviceName.c_str(), kServiceAccess));
  if (!service) {
    const DWORD error = GetLastError();
    scm.reset();
    PrintErrorReport(platform, kOpenServiceFailed, error);
    return kOpenServiceFailed;
  }
  const int stopResult = StopIfRunning(platform, service.get());
  // Deletion is requested even when the stop did not finish; the exit code
  // still tells the caller that the stop failed.
  if (!platform.DeleteService(service.get())) {
    const DWORD error = GetLastError();
    service.reset();
    scm.reset();
    PrintErrorReport(platform, kDeleteServiceFailed, error);
    return kDeleteServiceFailed;
  }
  return stopResult;
}

}  // namespace svcdefine
