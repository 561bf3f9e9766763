#include "svchalt.h"

#include <vector>

#include "errorline.h"
#include "exit_codes.h"
#include "rules.h"
#include "waitloop.h"
#include "wt/output.h"
#include "wt/owned.h"

namespace svcctl {
namespace {

constexpr DWORD kServiceAccess = SERVICE_QUERY_STATUS | SERVICE_ENUMERATE_DEPENDENTS | SERVICE_STOP;
constexpr int kDefaultTimeoutSeconds = 30;

// One visit's trace: every line starts with the depth as indent and the
// step number ("%*s%02d->" with the string " ").
class Trace {
 public:
  Trace(const Platform& platform, int depth, int step)
      : platform_(platform), prefix_(wt::FormatW(L"%*ls%02d->", depth, L" ", step)) {}

  void Line(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    platform_.WriteWide(prefix_ + wt::VFormatW(format, args));
    va_end(args);
  }

  // "<state name>" for the states the platform defines, else the number in
  // the form the caller passes.
  void StateLine(const wchar_t* named, const wchar_t* numbered, DWORD state) {
    if (const char* name = ServiceStateName(state)) {
      Line(named, name);
    } else {
      Line(numbered, static_cast<int>(state));
    }
  }

 private:
  const Platform& platform_;
  std::wstring prefix_;
};

// The key name of the service whose display name is name, or empty when
// there is none.
std::wstring KeyNameForDisplayName(const Platform& platform, SC_HANDLE manager,
                                   const std::wstring& name) {
  // A key name is at most 256 characters; a longer answer is asked for again
  // with the size the manager reports, never cut.
  std::vector<wchar_t> buffer(257);
  for (int attempt = 0; attempt < 2; ++attempt) {
    DWORD chars = static_cast<DWORD>(buffer.size());
    if (platform.GetServiceKeyNameW(manager, name.c_str(), buffer.data(), &chars)) {
      buffer.back() = L'\0';
      return std::wstring(buffer.data());
    }
    if (platform.GetLastError() != ERROR_INSUFFICIENT_BUFFER || chars < buffer.size()) break;
    buffer.assign(static_cast<size_t>(chars) + 1, L'\0');
  }
  return std::wstring();
}

// The running dependents, in a LocalAlloc buffer that memory owns. Returns 0,
// 12 (no memory) or 13 (listing failed), having printed what goes with it.
int ListRunningDependents(const Platform& platform, SC_HANDLE service,
                          wt::Owned<decltype(&::LocalFree)>& memory,
                          const ENUM_SERVICE_STATUSW*& entries, DWORD& count) {
  entries = nullptr;
  count = 0;
  DWORD size = 0;
  DWORD needed = 0;
  // The list can grow between calls as more dependents start; each failure
  // with ERROR_MORE_DATA reports the size it needs now. The bound only
  // guards against a manager that never settles.
  for (int attempt = 0;; ++attempt) {
    auto* buffer = static_cast<ENUM_SERVICE_STATUSW*>(memory.get());
    if (platform.EnumDependentServicesW(service, SERVICE_ACTIVE, buffer, size, &needed, &count)) {
      entries = buffer;
      if (!entries) count = 0;
      return kHaltStopped;
    }
    const DWORD error = platform.GetLastError();
    if (error != ERROR_MORE_DATA || attempt == 100) {
      ReportSystemError(platform, "EnumDependentServices", error);
      return kHaltListFailed;
    }
    memory.reset();
    HLOCAL grown = platform.LocalAlloc(LMEM_FIXED, needed);
    if (!grown) {
      platform.WriteWide(L"insufficient memory to find dependent services\n");
      return kHaltNoMemory;
    }
    memory.reset(grown);
    size = needed;
  }
}

}  // namespace

int StopVisit(StopRun& run, const std::wstring& givenName, int depth) {
  const Platform& platform = run.platform;
  const int step = ++run.step;
  Trace trace(platform, depth, step);

  std::wstring name = givenName;
  if (depth == 1) {
    const std::wstring key = KeyNameForDisplayName(platform, run.manager, givenName);
    if (!key.empty()) {
      trace.Line(L":Service name '%ls' refers to key %ls\n", givenName.c_str(), key.c_str());
      name = key;
    }
  }
  const wchar_t* const service = name.c_str();

  wt::Owned handle(platform.CloseServiceHandle,
                   platform.OpenServiceW(run.manager, service, kServiceAccess));
  if (!handle) {
    const DWORD error = platform.GetLastError();
    ReportSystemError(platform, "Attempt to open service handle", error);
    return error == ERROR_INVALID_NAME ? kHaltInvalidName : kHaltOpenFailed;
  }

  wt::Owned dependentsMemory(platform.LocalFree);
  const ENUM_SERVICE_STATUSW* dependents = nullptr;
  DWORD dependentCount = 0;
  if (const int result = ListRunningDependents(platform, handle.get(), dependentsMemory, dependents,
                                               dependentCount)) {
    return result;
  }
  if (dependentCount == 0) {
    trace.Line(L"No services are running which are dependent upon Service %ls\n", service);
  }
  // The list was taken once, before any dependent was visited: a dependent
  // that a nested visit has stopped meanwhile is visited again and reports
  // that it is already stopped.
  for (DWORD i = 0; i < dependentCount; ++i) {
    const ENUM_SERVICE_STATUSW& dependent = dependents[i];
    const wchar_t* key = dependent.lpServiceName ? dependent.lpServiceName : L"";
    const wchar_t* display = dependent.lpDisplayName ? dependent.lpDisplayName : L"";
    trace.Line(L"Service %ls requires that service %ls(%ls) be stopped first\n", service, key,
               display);
    if (const int result = StopVisit(run, key, depth + 1)) {
      trace.Line(
          L"Service %ls could not be stopped because dependent service %ls(%ls) could not "
          L"be stopped\n",
          service, key, display);
      return result;
    }
  }

  // Each service gets the whole timeout, counted from here.
  const DWORD startTick = platform.GetTickCount();
  SERVICE_STATUS_PROCESS status = {};
  // A failed query leaves the state unknown; the stop request then decides.
  DWORD firstQueryError = 0;
  const bool known = QueryStatus(platform, handle.get(), status, &firstQueryError);
  const DWORD state = known ? status.dwCurrentState : 0;
  if (known && state == SERVICE_STOPPED) {
    trace.Line(L":Service %ls is already stopped\n", service);
    return kHaltStopped;
  }
  if (known && state == SERVICE_STOP_PENDING) {
    trace.Line(L":Service %ls is already pending stop, waiting...\n", service);
  } else if (known && state != SERVICE_RUNNING) {
    trace.Line(L":Service %ls is not ready to be stopped\n", service);
    trace.StateLine(L":Current service state is %hs\n",
                    L":Current service state is ( unexpected value %d)\n", state);
    return kHaltNotStoppable;
  } else {
    trace.Line(L":Stopping service %ls\n", service);
    SERVICE_STATUS stopped = {};
    if (!platform.ControlService(handle.get(), SERVICE_CONTROL_STOP, &stopped)) {
      const DWORD error = platform.GetLastError();
      ReportSystemError(platform, "Attempt to stop service", error);
      return kHaltStopRefused;
    }
    const DWORD took = platform.GetTickCount() - startTick;
    trace.Line(L":ControlService(SERVICE_STOP) of %ls completed in %dms\n", service,
               static_cast<int>(took));
    trace.Line(L":ControlService(SERVICE_STOP) initial checkpoint and wait hint is %d, %d\n",
               static_cast<int>(stopped.dwCheckPoint), static_cast<int>(stopped.dwWaitHint));
    status.dwCurrentState = stopped.dwCurrentState;
    status.dwCheckPoint = stopped.dwCheckPoint;
    status.dwWaitHint = stopped.dwWaitHint;
  }

  const WaitResult wait = WaitWhilePending(
      platform, handle.get(), SERVICE_STOP_PENDING, startTick, static_cast<DWORD>(run.timeoutMs),
      /*signedTimeout=*/true, status, [&](DWORD elapsed) {
        trace.Line(L":after %dms, checkpoint %d wait hint = %dms\n", static_cast<int>(elapsed),
                   static_cast<int>(status.dwCheckPoint), static_cast<int>(status.dwWaitHint));
      });
  if (wait.queryFailed) {
    ReportSystemError(platform, "Attempt to query service Status", wait.queryError);
    return kHaltQueryFailed;
  }
  handle.reset();
  dependentsMemory.reset();

  switch (status.dwCurrentState) {
    case SERVICE_STOPPED:
      return kHaltStopped;
    case SERVICE_STOP_PENDING:
      if (wait.hintExceeded) {
        trace.Line(
            L":user specified timeout has expired, AND service did not set up wait hint "
            L"appropriately\n");
        return kHaltTimeoutHintExceeded;
      }
      trace.Line(
          L":user specified timeout has expired, BUT service may have set up wait hint "
          L"appropriately\n");
      return kHaltTimeout;
    default:
      trace.StateLine(L":unexpected service status %hs\n", L":unexpected service status %d\n",
                      status.dwCurrentState);
      return kHaltOtherState;
  }
}

int SvchaltMain(const Platform& platform, int argc, wchar_t** argv) {
  const wchar_t* program = argc > 0 && argv[0] ? argv[0] : L"";
  if (argc != 2 && argc != 3) {
    platform.WriteWide(wt::FormatW(L"usage is %ls <service_name> [<timeout>]\nexit code %d\n",
                                   program, kHaltUsage));
    return kHaltUsage;
  }
  std::int64_t seconds = kDefaultTimeoutSeconds;
  if (argc == 3) {
    seconds = ParseTimeoutSeconds(argv[2]);
    if (seconds == 0) {
      platform.WriteWide(wt::FormatW(L"invalid timeout %ls\nexit code %d\n", argv[2], kHaltUsage));
      return kHaltUsage;
    }
  }

  int result = kHaltNoManager;
  wt::Owned manager(platform.CloseServiceHandle,
                    platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!manager) {
    ReportSystemError(platform, "Attempt to open Service Control Manager", platform.GetLastError());
  } else {
    StopRun run{platform, manager.get(), StopTimeoutMs(seconds)};
    result = StopVisit(run, argv[1], 1);
    manager.reset();
    if (const char* verdict = StopVerdictText(result)) {
      platform.WriteWide(wt::FormatW(L"%hs\n", verdict));
    } else {
      platform.WriteWide(wt::FormatW(L"unexpected exit status %d\n", result));
    }
  }
  platform.WriteWide(wt::FormatW(L"%ls exiting with exit code %d\n", program, result));
  return result;
}

}  // namespace svcctl
