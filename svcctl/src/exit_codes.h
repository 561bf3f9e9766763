// The exit codes of the service control tools, as their callers test them.
// svchalt and svclaunch share most meanings but not every number.
// No Windows header here.
#pragma once

namespace svcctl {

// svchalt's results; each has a verdict text (StopVerdictText). 8 is never
// returned.
enum HaltExit : int {
  kHaltStopped = 0,              // stopped, or was already
  kHaltUsage = 1,                // wrong argument count or invalid timeout
  kHaltInvalidName = 2,          // the name was refused as invalid (123)
  kHaltOpenFailed = 3,           // the service could not be opened
  kHaltStopRefused = 4,          // the stop request failed
  kHaltQueryFailed = 5,          // a status query failed
  kHaltTimeout = 6,              // timeout; the service kept to its wait hint
  kHaltTimeoutHintExceeded = 7,  // timeout; the wait hint passed without progress
  kHaltOtherState = 9,           // ended in a state other than stopped
  kHaltNoManager = 10,           // the service control manager could not be opened
  kHaltNotStoppable = 11,        // neither running, stop pending nor stopped
  kHaltNoMemory = 12,            // no memory for the dependents list
  kHaltListFailed = 13,          // the dependents could not be listed
};

// svclaunch's results; it prints no verdict.
enum LaunchExit : int {
  kLaunchRunning = 0,              // running, already or after the wait
  kLaunchUsage = 1,                // wrong argument count or invalid timeout
  kLaunchInvalidName = 2,          // the name was refused as invalid (123)
  kLaunchOpenFailed = 3,           // the service could not be opened
  kLaunchStartRefused = 4,         // the start request failed
  kLaunchQueryFailed = 5,          // a status query failed
  kLaunchTimeout = 6,              // timeout; the service kept to its wait hint
  kLaunchTimeoutHintExceeded = 7,  // timeout; the wait hint passed without progress
  kLaunchStopped = 8,              // ended stopped instead of running
  kLaunchOtherState = 9,           // ended in another state
  kLaunchNoManager = 10,           // the service control manager could not be opened
  kLaunchNotStartable = 11,        // neither stopped, start pending nor running
};

// svcredesc exits with the system's error code of the failed call, or these.
enum RedescExit : int {
  kRedescChanged = 0,
  kRedescUsage = -1,
};

}  // namespace svcctl
