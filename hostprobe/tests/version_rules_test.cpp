// The version classification as a pure function of the reported numbers.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "version_rules.h"

namespace {

using hostprobe::ClassifyVersion;
using hostprobe::VersionFacts;

constexpr unsigned kWs = 1, kDc = 2, kSrv = 3;                 // product types
constexpr unsigned kPers = 0x0200, kData = 0x0080, kEnt = 0x0002;  // suite bits

struct Case {
  std::uint32_t platform, major, minor;
  unsigned product, suite;
  int archClass;
  const char* code;
};

// Every one of the 39 codes at least once, and the irregular corners.
const Case kCases[] = {
    // The Windows 95 line: majors and minors compared unsigned.
    {1, 4, 0, 0, 0, 0, "WIN_95"},
    {1, 4, 10, 0, 0, 0, "WIN_98"},
    {1, 4, 1, 0, 0, 0, "WIN_98"},
    {1, 4, 89, 0, 0, 0, "WIN_98"},
    {1, 4, 90, 0, 0, 0, "WIN_ME"},
    {1, 4, 0xFFFFFFFF, 0, 0, 0, "WIN_ME"},
    {1, 5, 0, 0, 0, 0, "WIN_ME"},
    {1, 3, 95, 0, 0, 0, "WIN_95"},
    // Other platforms.
    {0, 6, 1, kWs, 0, 1, "UNKNOWN"},
    {3, 6, 1, kWs, 0, 1, "UNKNOWN"},
    // NT 4.0 whatever its product type.
    {2, 4, 0, kSrv, kData, 1, "WIN_NT"},
    {2, 4, 0, kWs, 0, 0, "WIN_NT"},
    // Version 5.0, any architecture class; datacenter outranks enterprise.
    {2, 5, 0, kWs, kPers, 1, "WIN_PRO"},
    {2, 5, 0, kWs, 0, 2, "WIN_PRO"},
    {2, 5, 0, kSrv, kData | kEnt, 0, "WIN_DSRV"},
    {2, 5, 0, kSrv, kEnt, 1, "WIN_ASRV"},
    {2, 5, 0, kDc, 0, 2, "WIN_SRV"},
    // Version 5.1 and later.
    {2, 5, 1, kWs, kPers, 0, "XP_HOME"},
    {2, 5, 1, kWs, 0, 0, "XP_PRO"},
    {2, 5, 2, kSrv, kData, 0, "NET_DSRV"},
    {2, 5, 2, kSrv, kEnt, 0, "NET_ASRV"},
    {2, 5, 2, kSrv, 0, 0, "NET_SRV"},
    {2, 5, 2, kWs, kPers, 1, "X64_HOME"},
    {2, 5, 2, kWs, 0, 1, "X64_PRO"},
    {2, 5, 2, kDc, kData, 1, "X64_DSRV"},
    {2, 5, 2, kSrv, kEnt, 1, "X64_ESRV"},
    {2, 5, 2, kSrv, 0, 1, "X64_SRV"},
    {2, 5, 1, kWs, kPers, 2, "W64_HOME"},
    {2, 5, 1, kWs, 0, 2, "W64_PRO"},
    {2, 5, 2, kSrv, kData, 2, "W64_DSRV"},
    {2, 5, 2, kSrv, kEnt, 2, "W64_ASRV"},
    {2, 5, 2, kSrv, 0, 2, "W64_SRV"},
    // Every other major: 6, 10, and 3 too.
    {2, 6, 0, kWs, kPers, 0, "W32_VSHOME"},
    {2, 6, 1, kWs, 0x0100, 0, "W32_VSPRO"},
    {2, 6, 1, kSrv, kData, 0, "W32_DSRV08"},
    {2, 6, 1, kSrv, kEnt, 0, "W32_ESRV08"},
    {2, 10, 0, kSrv, 0, 0, "W32_SRV08"},
    {2, 3, 51, kSrv, 0, 0, "W32_SRV08"},
    {2, 6, 2, kWs, kPers, 1, "X64_VSHOME"},
    {2, 6, 1, kWs, 0x0100, 1, "X64_VSPRO"},
    {2, 6, 1, kSrv, kData | kEnt, 1, "X64_DSRV08"},
    {2, 6, 3, kDc, kEnt, 1, "X64_ESRV08"},
    {2, 10, 0, kSrv, 0, 1, "X64_SRV08"},
    {2, 6, 0, kWs, kPers, 2, "W64_VSHOME"},
    {2, 6, 0, kWs, 0, 2, "W64_VSPRO"},
    {2, 6, 0, kSrv, kData, 2, "W64_DSRV08"},
    {2, 6, 0, kSrv, kEnt, 2, "W64_ESRV08"},
    {2, 6, 0, kSrv, 0, 2, "W64_SRV08"},
    // Product types other than workstation are servers, 0 included.
    {2, 6, 1, 0, 0, 1, "X64_SRV08"},
    {2, 5, 1, 0, kPers, 0, "NET_SRV"},
};

TEST(ClassifyVersion, TableOfAllCodes) {
  std::set<std::string> seen;
  for (const Case& c : kCases) {
    VersionFacts f;
    f.platform = c.platform;
    f.major = c.major;
    f.minor = c.minor;
    f.productType = c.product;
    f.suiteMask = c.suite;
    f.architectureClass = c.archClass;
    EXPECT_STREQ(ClassifyVersion(f), c.code)
        << "platform " << c.platform << " " << c.major << "." << c.minor << " product "
        << c.product << " suite " << c.suite << " class " << c.archClass;
    seen.insert(c.code);
  }
  EXPECT_EQ(seen.size(), 39u);
}

TEST(ClassifyVersion, EveryCombinationGivesOneOfTheThirtyNineCodes) {
  const std::set<std::string> codes = {
      "UNKNOWN",    "WIN_95",     "WIN_98",     "WIN_ME",     "WIN_NT",     "WIN_PRO",
      "WIN_DSRV",   "WIN_ASRV",   "WIN_SRV",    "X64_HOME",   "X64_PRO",    "X64_DSRV",
      "X64_ESRV",   "X64_SRV",    "W64_HOME",   "W64_PRO",    "W64_DSRV",   "W64_ASRV",
      "W64_SRV",    "XP_HOME",    "XP_PRO",     "NET_DSRV",   "NET_ASRV",   "NET_SRV",
      "X64_VSHOME", "X64_VSPRO",  "X64_DSRV08", "X64_ESRV08", "X64_SRV08",  "W64_VSHOME",
      "W64_VSPRO",  "W64_DSRV08", "W64_ESRV08", "W64_SRV08",  "W32_VSHOME", "W32_VSPRO",
      "W32_DSRV08", "W32_ESRV08", "W32_SRV08"};
  ASSERT_EQ(codes.size(), 39u);
  std::set<std::string> produced;
  for (std::uint32_t platform : {0u, 1u, 2u, 3u})
    for (std::uint32_t major : {3u, 4u, 5u, 6u, 10u})
      for (std::uint32_t minor : {0u, 1u, 2u, 90u})
        for (unsigned product : {0u, 1u, 2u, 3u})
          for (unsigned suite = 0; suite < 8; ++suite)
            for (int arch : {0, 1, 2}) {
              VersionFacts f{platform, major, minor, product,
                             ((suite & 1) ? kPers : 0) | ((suite & 2) ? kData : 0) |
                                 ((suite & 4) ? kEnt : 0),
                             arch};
              const char* code = ClassifyVersion(f);
              ASSERT_NE(code, nullptr);
              EXPECT_EQ(codes.count(code), 1u) << code;
              produced.insert(code);
            }
  EXPECT_EQ(produced, codes);
}

TEST(ArchitectureClassOf, OnlyAmd64AndIa64HaveAClass) {
  const struct {
    unsigned arch;
    int cls;
  } cases[] = {{9, 1}, {6, 2}, {0, 0}, {12, 0}, {5, 0}, {0xFFFF, 0}};
  for (const auto& c : cases) EXPECT_EQ(hostprobe::ArchitectureClassOf(c.arch), c.cls) << c.arch;
}

TEST(NeedsExtendedFacts, OnlyTheNtLineFromVersionFive) {
  EXPECT_FALSE(hostprobe::NeedsExtendedFacts(1, 5));
  EXPECT_FALSE(hostprobe::NeedsExtendedFacts(2, 4));
  EXPECT_FALSE(hostprobe::NeedsExtendedFacts(0, 6));
  EXPECT_TRUE(hostprobe::NeedsExtendedFacts(2, 5));
  EXPECT_TRUE(hostprobe::NeedsExtendedFacts(2, 3));
  EXPECT_TRUE(hostprobe::NeedsExtendedFacts(2, 10));
}

TEST(FormatVersionDescription, EightSignedNumbersJoinedByDots) {
  EXPECT_EQ(hostprobe::FormatVersionDescription({6, 1, 1, 0, 256, 1, 9, 48}),
            "6.1.1.0.256.1.9.48");
  // PRODUCT_UNLICENSED (0xABCDABCD) has the top bit set: written negative.
  EXPECT_EQ(hostprobe::FormatVersionDescription({10, 0, 0, 0, 0x0110, 3, 0, -1412584499}),
            "10.0.0.0.272.3.0.-1412584499");
  EXPECT_EQ(hostprobe::FormatVersionDescription({0, 0, 0, 0, 0, 0, 0xFFFF, 0}),
            "0.0.0.0.0.0.65535.0");
  EXPECT_EQ(hostprobe::FormatVersionDescription(
                {INT32_MIN, INT32_MAX, 65535, 65535, 65535, 255, 65535, INT32_MIN}),
            "-2147483648.2147483647.65535.65535.65535.255.65535.-2147483648");
}

}  // namespace
