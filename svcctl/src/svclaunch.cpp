#include "svclaunch.h"

#include "errorline.h"
#include "exit_codes.h"
#include "rules.h"
#include "waitloop.h"
#include "wt/output.h"
#include "wt/owned.h"

namespace svcctl {
namespace {

constexpr DWORD kServiceAccess = SERVICE_QUERY_STATUS | SERVICE_START;
constexpr int kDefaultTimeoutSeconds = 30;

}  // namespace

int StartAndWait(const Platform& platform, SC_HANDLE manager, const wchar_t* name,
                 std::uint32_t timeoutMs) {
  // All elapsed times count from here, the open included.
  const DWORD startTick = platform.GetTickCount();
  wt::Owned handle(platform.CloseServiceHandle,
                   platform.OpenServiceW(manager, name, kServiceAccess));
  if (!handle) {
    const DWORD error = platform.GetLastError();
    ReportSystemErrorWide(platform, L"Attempt to open service handle", error);
    return error == ERROR_INVALID_NAME ? kLaunchInvalidName : kLaunchOpenFailed;
  }

  SERVICE_STATUS_PROCESS status = {};
  // A failed query leaves the state unknown; the start request then decides.
  DWORD firstQueryError = 0;
  const bool known = QueryStatus(platform, handle.get(), status, &firstQueryError);
  bool startNeeded = true;
  if (known) {
    switch (status.dwCurrentState) {
      case SERVICE_RUNNING:
        platform.WriteWide(wt::FormatW(L"Service %ls is already running\n", name));
        return kLaunchRunning;
      case SERVICE_START_PENDING:
        platform.WriteWide(
            wt::FormatW(L"Service %ls is already pending start, waiting...\n", name));
        startNeeded = false;
        break;
      case SERVICE_STOPPED:
        break;
      default:
        platform.WriteWide(wt::FormatW(L"Service %ls is not ready to be started\n", name));
        if (const char* stateName = ServiceStateName(status.dwCurrentState)) {
          platform.WriteWide(wt::FormatW(L"Current service state is %hs\n", stateName));
        } else {
          platform.WriteWide(wt::FormatW(L"Current service state is (unexpected value %d)\n",
                                         static_cast<int>(status.dwCurrentState)));
        }
        return kLaunchNotStartable;
    }
  }

  if (startNeeded && !platform.StartServiceW(handle.get(), 0, nullptr)) {
    const DWORD error = platform.GetLastError();
    ReportSystemErrorWide(platform, L"Attempt to start service", error);
    return kLaunchStartRefused;
  }
  if (DWORD error = 0; !QueryStatus(platform, handle.get(), status, &error)) {
    ReportSystemErrorWide(platform, L"Attempt to query service Status", error);
    return kLaunchQueryFailed;
  }

  const WaitResult wait = WaitWhilePending(
      platform, handle.get(), SERVICE_START_PENDING, startTick, timeoutMs,
      /*signedTimeout=*/false, status, [&](DWORD elapsed) {
        platform.WriteWide(wt::FormatW(
            L"after %dms, checkpoint %d wait hint = %dms\n", static_cast<int>(elapsed),
            static_cast<int>(status.dwCheckPoint), static_cast<int>(status.dwWaitHint)));
      });
  if (wait.queryFailed) {
    ReportSystemErrorWide(platform, L"Attempt to query service Status", wait.queryError);
    return kLaunchQueryFailed;
  }
  handle.reset();

  switch (status.dwCurrentState) {
    case SERVICE_RUNNING:
      return kLaunchRunning;
    case SERVICE_START_PENDING:
      if (wait.hintExceeded) {
        platform.WriteWide(
            L"user specified timeout has expired, AND service did not set up wait hint "
            L"appropriately\n");
        return kLaunchTimeoutHintExceeded;
      }
      platform.WriteWide(
          L"user specified timeout has expired, BUT service may have set up wait hint "
          L"appropriately\n");
      return kLaunchTimeout;
    default:
      if (const char* stateName = ServiceStateName(status.dwCurrentState)) {
        platform.WriteWide(wt::FormatW(L"unexpected service status %hs\n", stateName));
      } else {
        platform.WriteWide(wt::FormatW(L"unexpected service status %d\n",
                                       static_cast<int>(status.dwCurrentState)));
      }
      return status.dwCurrentState == SERVICE_STOPPED ? kLaunchStopped : kLaunchOtherState;
  }
}

int SvclaunchMain(const Platform& platform, int argc, wchar_t** argv) {
  if (argc != 2 && argc != 3) {
    const wchar_t* program = argc > 0 && argv[0] ? argv[0] : L"";
    platform.WriteWide(wt::FormatW(L"usage is %ls <service_name> [<timeout>]\n", program));
    return kLaunchUsage;
  }
  std::int64_t seconds = kDefaultTimeoutSeconds;
  if (argc == 3) {
    seconds = ParseTimeoutSeconds(argv[2]);
    if (seconds == 0) {
      platform.WriteWide(wt::FormatW(L"invalid timeout %ls\n", argv[2]));
      return kLaunchUsage;
    }
  }
  wt::Owned manager(platform.CloseServiceHandle,
                    platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    ReportSystemErrorWide(platform, L"Attempt to open Service Control Manager",
                          platform.GetLastError());
    return kLaunchNoManager;
  }
  return StartAndWait(platform, manager.get(), argv[1], StartTimeoutMs(seconds));
}

}  // namespace svcctl
