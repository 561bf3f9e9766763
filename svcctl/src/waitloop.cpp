#include "waitloop.h"

#include <cstdint>

#include "rules.h"

namespace svcctl {

bool QueryStatus(const Platform& platform, SC_HANDLE service, SERVICE_STATUS_PROCESS& status,
                 DWORD* error) {
  DWORD needed = 0;
  if (platform.QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO,
                                    reinterpret_cast<BYTE*>(&status), sizeof status, &needed)) {
    *error = 0;
    return true;
  }
  *error = platform.GetLastError();
  return false;
}

WaitResult WaitWhilePending(const Platform& platform, SC_HANDLE service, DWORD pendingState,
                            DWORD startTick, DWORD timeoutMs, bool signedTimeout,
                            SERVICE_STATUS_PROCESS& status,
                            const std::function<void(DWORD elapsedMs)>& onPoll) {
  WaitResult result;
  DWORD lastCheckpoint = status.dwCheckPoint;
  DWORD lastProgressTick = platform.GetTickCount();
  while (status.dwCurrentState == pendingState) {
    // Tick differences are taken modulo 2^32, so the loop survives the
    // 49.7-day wrap of GetTickCount.
    const DWORD elapsed = platform.GetTickCount() - startTick;
    const bool expired =
        signedTimeout ? static_cast<std::int32_t>(elapsed) >= static_cast<std::int32_t>(timeoutMs)
                      : elapsed >= timeoutMs;
    if (expired) break;

    platform.Sleep(PollIntervalMs(status.dwWaitHint, timeoutMs - elapsed));
    if (!QueryStatus(platform, service, status, &result.queryError)) {
      result.queryFailed = true;
      return result;
    }
    const DWORD now = platform.GetTickCount();
    if (status.dwCheckPoint > lastCheckpoint) {
      lastCheckpoint = status.dwCheckPoint;
      lastProgressTick = now;
    } else if (now - lastProgressTick > status.dwWaitHint) {
      result.hintExceeded = true;
    }
    onPoll(now - startTick);
  }
  return result;
}

}  // namespace svcctl
