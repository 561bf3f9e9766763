// svcredesc: replaces a service's description. Silent; the exit code is 0,
// -1 for a usage error, or the Win32 error code of the call that failed.
#pragma once

#include "platform.h"

namespace svcctl {

// Sets the description of service name; returns 0 or the error code.
DWORD ChangeDescription(const Platform& platform, const wchar_t* name, const wchar_t* description);

// The program: arguments as wmain got them; returns the exit code.
int SvcredescMain(const Platform& platform, int argc, wchar_t** argv);

}  // namespace svcctl
