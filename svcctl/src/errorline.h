// The system error report that svchalt and svclaunch print when a platform
// call fails: "<phrase> failed due to error <code>:<system text>", or
// "<phrase> failed due to error <code>" when the system has no text for the
// code. No line break follows: whatever is printed next continues the line,
// and callers that read the output rely on that. svchalt writes narrow text
// (the system's ANSI text); svclaunch writes wide text like the rest of its
// output, so one line never mixes two code pages.
#pragma once

#include "platform.h"

namespace svcctl {

// code is the error the caller captured right after the failing call.
void ReportSystemError(const Platform& platform, const char* phrase, DWORD code);
void ReportSystemErrorWide(const Platform& platform, const wchar_t* phrase, DWORD code);

}  // namespace svcctl
