// svchalt: stops a service after stopping, depth first, every running
// service that depends on it, tracing each step indented by depth.
#pragma once

#include <cstdint>
#include <string>

#include "platform.h"

namespace svcctl {

// One run of the stop visits: the manager handle, the timeout every service
// of the tree gets in full, and the step counter the visits share.
struct StopRun {
  const Platform& platform;
  SC_HANDLE manager;
  std::int32_t timeoutMs;
  int step = 0;
};

// Stops the service name (a display name is accepted at depth 1) and first
// its running dependents; returns the result code 0 to 13 (8 never).
int StopVisit(StopRun& run, const std::wstring& name, int depth);

// The program: arguments as wmain got them; returns the exit code.
int SvchaltMain(const Platform& platform, int argc, wchar_t** argv);

}  // namespace svcctl
