// The system error report that svchalt and svclaunch print when a platform
// call fails: "<phrase> failed due to error <code>:<system text>", or
// "<phrase> failed due to error <code>" when the system has no text for the
// code. No line break follows: whatever is printed next continues the line,
// and callers that read the output rely on that.
#pragma once

#include "platform.h"

namespace svcctl {

// code is the error the caller captured right after the failing call.
void ReportSystemError(const Platform& platform, const char* phrase, DWORD code);

}  // namespace svcctl
