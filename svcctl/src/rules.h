// The text and arithmetic rules the service control tools share: timeout
// arguments, the poll interval, state names and svchalt's verdicts.
// No Windows header here: this compiles and runs on any host.
#pragma once

#include <cstdint>

namespace svcctl {

// The seconds of a timeout argument, read the way the C runtime's _wtoi
// reads: leading blanks, an optional sign, then decimal digits up to the
// first other character. No digits reads as 0. Digits beyond the range of
// the result saturate instead of wrapping, so an absurdly long number never
// turns into a small or zero timeout.
std::int64_t ParseTimeoutSeconds(const wchar_t* text);

// svchalt's timeout in milliseconds: seconds x 1000 as a signed 32-bit
// number. A product that does not fit is clamped to the nearest end of the
// range (a huge timeout to the longest wait, about 24.8 days; a huge negative
// one stays negative, which means no waiting).
std::int32_t StopTimeoutMs(std::int64_t seconds);

// svclaunch's timeout in milliseconds: seconds x 1000 taken as an unsigned
// 32-bit number, so a negative timeout is a very long wait (-1 s gives
// 4294966296 ms). A product outside what 32 bits hold either way is
// clamped to the longest wait, 4294967295 ms.
std::uint32_t StartTimeoutMs(std::int64_t seconds);

// The next sleep of a wait loop: a tenth of the wait hint, at most 10 s, at
// most the time left, and then at least 1 s (the floor comes last, so the
// last sleep may pass the timeout by up to a second).
std::uint32_t PollIntervalMs(std::uint32_t waitHintMs, std::uint32_t remainingMs);

// "SERVICE_STOPPED" ... "SERVICE_PAUSED" for states 1 to 7, else nullptr.
const char* ServiceStateName(std::uint32_t state);

// svchalt's verdict text for result codes 0 to 13, else nullptr.
const char* StopVerdictText(int result);

}  // namespace svcctl
