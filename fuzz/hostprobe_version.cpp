// libHostProbe's version classification and version description over the
// numbers the input holds, little-endian 32-bit words in this order: platform,
// major, minor, product type, suite mask, native architecture, then the eight
// numbers of the description. A short input reads as zeros after its end.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "hostprobe/src/version_rules.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::uint32_t w[14] = {};
  std::memcpy(w, data, std::min(size, sizeof w));

  hostprobe::VersionFacts f;
  f.platform = w[0];
  f.major = w[1];
  f.minor = w[2];
  f.productType = w[3];
  f.suiteMask = w[4];
  f.architectureClass = hostprobe::ArchitectureClassOf(w[5]);
  FUZZ_CHECK(f.architectureClass >= 0 && f.architectureClass <= 2);
  hostprobe::NeedsExtendedFacts(f.platform, f.major);
  for (int architectureClass : {f.architectureClass, static_cast<int>(w[5])}) {
    f.architectureClass = architectureClass;  // also a class no caller passes
    const char* code = hostprobe::ClassifyVersion(f);
    FUZZ_CHECK(code != nullptr && std::strlen(code) >= 6 && std::strlen(code) <= 10);
  }

  hostprobe::VersionNumbers n;
  for (std::size_t i = 0; i < n.size(); ++i) n[i] = static_cast<std::int32_t>(w[6 + i]);
  const std::string description = hostprobe::FormatVersionDescription(n);
  hostprobe::VersionNumbers back{};
  FUZZ_CHECK(std::sscanf(description.c_str(), "%d.%d.%d.%d.%d.%d.%d.%d", &back[0], &back[1],
                         &back[2], &back[3], &back[4], &back[5], &back[6], &back[7]) == 8);
  FUZZ_CHECK(back == n);
  return 0;
}
