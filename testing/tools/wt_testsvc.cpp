// Test service: a real Windows service whose behaviour a test scripts through
// the command line recorded in the service's BinaryPathName.
//
//   wt_testsvc.exe [--start-ms N] [--stop-ms N] [--hint-ms N] [--checkpoints N]
//                  [--stall-start] [--stall-stop] [--exit-after-ms N]
//                  [--no-stop] [--exit-code N]
//
// Start: SERVICE_START_PENDING with dwWaitHint = hint-ms (default 1000) for
//   start-ms (default 0) milliseconds, the checkpoint raised `checkpoints`
//   times spread over that period (default: one raise per 100 ms), or held at
//   1 with --stall-start; then SERVICE_RUNNING.
// --exit-after-ms N: N ms after reaching RUNNING the service stops by itself
//   (SERVICE_STOPPED with dwWin32ExitCode = exit-code) and the process ends.
// Stop control: refused by the manager with --no-stop (SERVICE_ACCEPT_STOP is
//   not set). Otherwise SERVICE_STOP_PENDING is reported from inside the
//   handler, because ControlService hands back whatever status the service
//   reported by the time its handler returned; then STOP_PENDING for stop-ms
//   with wait hint hint-ms and rising checkpoints (held with --stall-stop),
//   then SERVICE_STOPPED with dwWin32ExitCode = exit-code.
// SERVICE_CONTROL_INTERROGATE: the current status is reported again.
//
// The service name is whatever the manager passes as argv[0] of ServiceMain,
// so one binary serves any number of uniquely named test services.
#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <string>

namespace {

struct Script {
  DWORD startMs = 0;
  DWORD stopMs = 0;
  DWORD hintMs = 1000;
  long checkpoints = -1;  // -1: one per 100 ms of the period
  bool stallStart = false;
  bool stallStop = false;
  long exitAfterMs = -1;  // -1: run until stopped
  bool noStop = false;
  DWORD exitCode = 0;
};

Script g_script;
SERVICE_STATUS_HANDLE g_statusHandle = nullptr;
SERVICE_STATUS g_status = {};
CRITICAL_SECTION g_lock;
HANDLE g_stopEvent = nullptr;

void Report(DWORD state, DWORD checkpoint, DWORD waitHint) {
  EnterCriticalSection(&g_lock);
  g_status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  g_status.dwCurrentState = state;
  g_status.dwControlsAccepted =
      (state == SERVICE_RUNNING && !g_script.noStop) ? SERVICE_ACCEPT_STOP : 0;
  g_status.dwWin32ExitCode = state == SERVICE_STOPPED ? g_script.exitCode : NO_ERROR;
  g_status.dwServiceSpecificExitCode = 0;
  g_status.dwCheckPoint = checkpoint;
  g_status.dwWaitHint = waitHint;
  SetServiceStatus(g_statusHandle, &g_status);
  LeaveCriticalSection(&g_lock);
}

// Holds `state` for periodMs, raising the checkpoint from 1 as the script says.
void Pending(DWORD state, DWORD periodMs, bool stall) {
  Report(state, 1, g_script.hintMs);
  if (periodMs == 0) return;
  DWORD raises = g_script.checkpoints >= 0 ? static_cast<DWORD>(g_script.checkpoints)
                                           : periodMs / 100;
  if (stall) raises = 0;
  if (raises == 0) {
    Sleep(periodMs);
    return;
  }
  const DWORD step = periodMs / raises;
  DWORD slept = 0;
  for (DWORD i = 1; i <= raises; ++i) {
    const DWORD ms = i == raises ? periodMs - slept : step;
    Sleep(ms);
    slept += ms;
    Report(state, 1 + i, g_script.hintMs);
  }
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  switch (control) {
    case SERVICE_CONTROL_STOP:
      if (g_script.noStop) return ERROR_CALL_NOT_IMPLEMENTED;
      Report(SERVICE_STOP_PENDING, 1, g_script.hintMs);
      SetEvent(g_stopEvent);
      return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
      EnterCriticalSection(&g_lock);
      SetServiceStatus(g_statusHandle, &g_status);
      LeaveCriticalSection(&g_lock);
      return NO_ERROR;
    default:
      return ERROR_CALL_NOT_IMPLEMENTED;
  }
}

void WINAPI ServiceMain(DWORD argc, wchar_t** argv) {
  const wchar_t* name = argc > 0 && argv[0] ? argv[0] : L"";
  g_statusHandle = RegisterServiceCtrlHandlerExW(name, Handler, nullptr);
  if (!g_statusHandle) return;
  Pending(SERVICE_START_PENDING, g_script.startMs, g_script.stallStart);
  Report(SERVICE_RUNNING, 0, 0);
  const DWORD wait =
      g_script.exitAfterMs >= 0 ? static_cast<DWORD>(g_script.exitAfterMs) : INFINITE;
  if (WaitForSingleObject(g_stopEvent, wait) == WAIT_OBJECT_0) {
    // The handler has already reported checkpoint 1 of the stop.
    if (g_script.stopMs > 0) Pending(SERVICE_STOP_PENDING, g_script.stopMs, g_script.stallStop);
  }
  Report(SERVICE_STOPPED, 0, 0);
}

bool ParseNumber(const wchar_t* text, long* value) {
  if (!text || !*text) return false;
  wchar_t* end = nullptr;
  const long v = std::wcstol(text, &end, 10);
  if (*end != L'\0' || v < 0) return false;
  *value = v;
  return true;
}

bool ParseScript(int argc, wchar_t** argv, Script* s) {
  for (int i = 1; i < argc; ++i) {
    const std::wstring a = argv[i];
    long n = 0;
    const bool hasValue = i + 1 < argc && ParseNumber(argv[i + 1], &n);
    if (a == L"--stall-start") {
      s->stallStart = true;
    } else if (a == L"--stall-stop") {
      s->stallStop = true;
    } else if (a == L"--no-stop") {
      s->noStop = true;
    } else if (!hasValue) {
      return false;
    } else {
      ++i;
      if (a == L"--start-ms") s->startMs = static_cast<DWORD>(n);
      else if (a == L"--stop-ms") s->stopMs = static_cast<DWORD>(n);
      else if (a == L"--hint-ms") s->hintMs = static_cast<DWORD>(n);
      else if (a == L"--checkpoints") s->checkpoints = n;
      else if (a == L"--exit-after-ms") s->exitAfterMs = n;
      else if (a == L"--exit-code") s->exitCode = static_cast<DWORD>(n);
      else return false;
    }
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (!ParseScript(argc, argv, &g_script)) {
    std::fwprintf(stderr, L"wt_testsvc: bad arguments\n");
    return 2;
  }
  InitializeCriticalSection(&g_lock);
  g_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // For an own-process service the manager ignores the entry's name.
  wchar_t emptyName[] = L"";
  SERVICE_TABLE_ENTRYW table[] = {{emptyName, ServiceMain}, {nullptr, nullptr}};
  if (!StartServiceCtrlDispatcherW(table)) {
    const DWORD error = GetLastError();
    std::fwprintf(stderr, L"wt_testsvc: not started as a service (error %lu)\n", error);
    return 1;
  }
  CloseHandle(g_stopEvent);
  DeleteCriticalSection(&g_lock);
  return 0;
}
