// The service tools' timeout argument (the text), and the millisecond
// conversions, poll interval, state names and verdicts over the numbers the
// first 16 bytes hold.
#include <algorithm>
#include <cstring>
#include <limits>
#include <string>

#include "support.h"
#include "svcctl/src/rules.h"

namespace {

void CheckTimeouts(std::int64_t seconds) {
  const __int128 ms = static_cast<__int128>(seconds) * 1000;
  const std::int32_t stop = svcctl::StopTimeoutMs(seconds);
  FUZZ_CHECK(stop == std::clamp<__int128>(ms, std::numeric_limits<std::int32_t>::min(),
                                          std::numeric_limits<std::int32_t>::max()));
  const std::uint32_t start = svcctl::StartTimeoutMs(seconds);
  if (ms > std::numeric_limits<std::uint32_t>::max() ||
      ms < std::numeric_limits<std::int32_t>::min()) {
    FUZZ_CHECK(start == std::numeric_limits<std::uint32_t>::max());
  } else {
    FUZZ_CHECK(start == static_cast<std::uint32_t>(static_cast<std::int64_t>(ms)));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = fuzz::WideFromBytes(data, size);
  const std::int64_t seconds = svcctl::ParseTimeoutSeconds(text.c_str());
  FUZZ_CHECK(seconds >= -1000000000000LL && seconds <= 1000000000000LL);
  CheckTimeouts(seconds);

  if (size < 16) return 0;
  std::int64_t raw;
  std::uint32_t hint, remaining;
  std::memcpy(&raw, data, 8);
  std::memcpy(&hint, data + 8, 4);
  std::memcpy(&remaining, data + 12, 4);
  CheckTimeouts(raw);
  FUZZ_CHECK(svcctl::PollIntervalMs(hint, remaining) ==
             std::max<std::uint32_t>(1000, std::min({hint / 10, 10000u, remaining})));
  FUZZ_CHECK((svcctl::ServiceStateName(hint) != nullptr) == (hint >= 1 && hint <= 7));
  const int result = static_cast<int>(remaining);
  FUZZ_CHECK((svcctl::StopVerdictText(result) != nullptr) == (result >= 0 && result <= 13));
  return 0;
}
