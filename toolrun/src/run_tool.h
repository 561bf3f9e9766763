// The RunTool custom action: runs the tool its CustomActionData names and
// writes the tool's own lines into the installation's log.
#pragma once

#include "platform.h"

namespace toolrun {

// The longest wait for the tool while it prints nothing: how late a line can
// reach the log, and how often the time-out is checked.
inline constexpr DWORD kPollMs = 50;
// How often the installer is asked whether the user has cancelled while the
// tool prints nothing.
inline constexpr DWORD kAskMs = 1000;
// How long a terminated tool is given to be gone before the action returns.
inline constexpr DWORD kTerminateWaitMs = 5000;

// ERROR_SUCCESS when the tool exited with a success code,
// ERROR_INSTALL_USEREXIT when the installation was cancelled, else
// ERROR_INSTALL_FAILURE (docs/toolrun.md gives every log line and result).
UINT RunTool(const Platform& p, MSIHANDLE install);

}  // namespace toolrun
