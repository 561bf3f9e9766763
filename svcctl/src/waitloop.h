// The polling wait that svchalt and svclaunch share: while the service stays
// in its pending state, sleep a tenth of its wait hint (between 1 and 10 s,
// at most the time left), query again, and note whether the service ever
// went longer than its wait hint without advancing its checkpoint.
#pragma once

#include <functional>

#include "platform.h"

namespace svcctl {

struct WaitResult {
  bool queryFailed = false;   // a status query failed ...
  DWORD queryError = 0;       // ... leaving this error (0 when it set none)
  bool hintExceeded = false;  // once the wait hint passed without progress
};

// status holds the state to wait on at entry and the last status seen at
// return. startTick is when the caller's timeout began. svchalt compares the
// elapsed time with its timeout as signed numbers (a negative timeout means
// no waiting), svclaunch as unsigned ones (a negative timeout is a very long
// wait). onPoll is called after each successful query with the ms elapsed
// since startTick.
WaitResult WaitWhilePending(const Platform& platform, SC_HANDLE service, DWORD pendingState,
                            DWORD startTick, DWORD timeoutMs, bool signedTimeout,
                            SERVICE_STATUS_PROCESS& status,
                            const std::function<void(DWORD elapsedMs)>& onPoll);

// QueryServiceStatusEx at level SC_STATUS_PROCESS_INFO into status. False
// when the query failed, with the error it left in *error, which may be 0:
// the failure is told by the result, never by the code.
bool QueryStatus(const Platform& platform, SC_HANDLE service, SERVICE_STATUS_PROCESS& status,
                 DWORD* error);

}  // namespace svcctl
