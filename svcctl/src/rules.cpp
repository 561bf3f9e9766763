#include "rules.h"

#include <algorithm>
#include <limits>

namespace svcctl {
namespace {

// seconds x 1000, the seconds first clamped to what that product can hold in
// 64 bits: beyond it the product would overflow (undefined, in practice a
// wrap to any value) before the 32-bit clamp below could see it.
std::int64_t Milliseconds(std::int64_t seconds) {
  constexpr std::int64_t kLimit = std::numeric_limits<std::int64_t>::max() / 1000;
  return std::clamp(seconds, -kLimit, kLimit) * 1000;
}

}  // namespace

std::int64_t ParseTimeoutSeconds(const wchar_t* text) {
  // Far beyond any product that fits 32 bits, yet x 1000 fits 64 bits.
  constexpr std::int64_t kSaturated = 1000000000000LL;
  const wchar_t* p = text;
  while (*p == L' ' || (*p >= L'\t' && *p <= L'\r')) ++p;
  bool negative = false;
  if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
  std::int64_t value = 0;
  for (; *p >= L'0' && *p <= L'9'; ++p) {
    if (value < kSaturated) value = value * 10 + (*p - L'0');
  }
  if (value > kSaturated) value = kSaturated;
  return negative ? -value : value;
}

std::int32_t StopTimeoutMs(std::int64_t seconds) {
  const std::int64_t ms = Milliseconds(seconds);
  if (ms > std::numeric_limits<std::int32_t>::max())
    return std::numeric_limits<std::int32_t>::max();
  if (ms < std::numeric_limits<std::int32_t>::min())
    return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(ms);
}

std::uint32_t StartTimeoutMs(std::int64_t seconds) {
  const std::int64_t ms = Milliseconds(seconds);
  if (ms > std::numeric_limits<std::uint32_t>::max() ||
      ms < std::numeric_limits<std::int32_t>::min()) {
    return std::numeric_limits<std::uint32_t>::max();
  }
  return static_cast<std::uint32_t>(ms);  // a negative count wraps to a long wait
}

std::uint32_t PollIntervalMs(std::uint32_t waitHintMs, std::uint32_t remainingMs) {
  std::uint32_t sleep = waitHintMs / 10;
  if (sleep > 10000) sleep = 10000;
  if (sleep > remainingMs) sleep = remainingMs;
  if (sleep < 1000) sleep = 1000;
  return sleep;
}

const char* ServiceStateName(std::uint32_t state) {
  // Indexed by the platform's state value; 0 is a placeholder never shown.
  static const char* const kNames[] = {
      "----",
      "SERVICE_STOPPED",
      "SERVICE_START_PENDING",
      "SERVICE_STOP_PENDING",
      "SERVICE_RUNNING",
      "SERVICE_CONTINUE_PENDING",
      "SERVICE_PAUSE_PENDING",
      "SERVICE_PAUSED",
  };
  return state >= 1 && state <= 7 ? kNames[state] : nullptr;
}

const char* StopVerdictText(int result) {
  // Code 4's text lost its last letter long ago; callers match it as it is.
  static const char* const kVerdicts[] = {
      "Service stop completed successfully",
      "Error: Parameters were incorrect",
      "Error: an invalid service name was specified",
      "Error: The service handle could not be opened",
      "Error: Operating system request to stop service faile",
      "Error: Attempt to query the status of the service failed",
      "Error: Specified timeout elapsed before service stop completed",
      "Error: Specified timeout elapsed before service stop completed, waitHint was exceeded",
      "unexpected exit status 8",
      "Error: Service entered a state other than STOPPED",
      "Error: Could not open the session manager",
      "Error: Service cannot be stopped, because it is not currently running, stopping or stopped",
      "Error: Operation cannot be completed due to insufficient memory",
      "Error: Unable to enumerate dependent services",
  };
  return result >= 0 && result <= 13 ? kVerdicts[result] : nullptr;
}

}  // namespace svcctl
