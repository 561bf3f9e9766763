// svclaunch: starts a service and waits until it runs. Its exit code alone
// tells the outcome; it prints progress but no verdict.
#pragma once

#include <cstdint>

#include "platform.h"

namespace svcctl {

// Starts the service name through manager and waits up to timeoutMs
// (compared unsigned) for it to run; returns the result code 0 to 11.
int StartAndWait(const Platform& platform, SC_HANDLE manager, const wchar_t* name,
                 std::uint32_t timeoutMs);

// The program: arguments as wmain got them; returns the exit code.
int SvclaunchMain(const Platform& platform, int argc, wchar_t** argv);

}  // namespace svcctl
