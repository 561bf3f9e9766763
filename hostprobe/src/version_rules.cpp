#include "version_rules.h"

#include <cstdio>

namespace hostprobe {

int ArchitectureClassOf(unsigned nativeArchitecture) {
  if (nativeArchitecture == kArchitectureAmd64) return 1;
  if (nativeArchitecture == kArchitectureIa64) return 2;
  return 0;
}

bool NeedsExtendedFacts(std::uint32_t platform, std::uint32_t major) {
  return platform == kPlatformWin32Nt && major != 4;
}

namespace {

enum Column { kPersonal, kWorkstation, kDatacenter, kEnterprise, kServer };

// Rows by architecture class 0, 1, 2. The codes are irregular on purpose:
// they are what the deployment tool has always compared against.
const char* const kVersion5Later[3][5] = {
    {"XP_HOME", "XP_PRO", "NET_DSRV", "NET_ASRV", "NET_SRV"},
    {"X64_HOME", "X64_PRO", "X64_DSRV", "X64_ESRV", "X64_SRV"},
    {"W64_HOME", "W64_PRO", "W64_DSRV", "W64_ASRV", "W64_SRV"},
};
const char* const kOtherVersions[3][5] = {
    {"W32_VSHOME", "W32_VSPRO", "W32_DSRV08", "W32_ESRV08", "W32_SRV08"},
    {"X64_VSHOME", "X64_VSPRO", "X64_DSRV08", "X64_ESRV08", "X64_SRV08"},
    {"W64_VSHOME", "W64_VSPRO", "W64_DSRV08", "W64_ESRV08", "W64_SRV08"},
};
const char* const kVersion50[5] = {"WIN_PRO", "WIN_PRO", "WIN_DSRV", "WIN_ASRV", "WIN_SRV"};

Column ColumnOf(unsigned productType, unsigned suiteMask) {
  if (productType == kProductWorkstation)
    return (suiteMask & kSuitePersonal) ? kPersonal : kWorkstation;
  // Domain controllers and servers alike; datacenter outranks enterprise.
  if (suiteMask & kSuiteDatacenter) return kDatacenter;
  if (suiteMask & kSuiteEnterprise) return kEnterprise;
  return kServer;
}

}  // namespace

const char* ClassifyVersion(const VersionFacts& f) {
  if (f.platform == kPlatformWin32Windows) {
    if (f.major > 4) return "WIN_ME";
    if (f.major < 4) return "WIN_95";
    if (f.minor == 0) return "WIN_95";
    return f.minor < 90 ? "WIN_98" : "WIN_ME";
  }
  if (f.platform != kPlatformWin32Nt) return "UNKNOWN";
  if (f.major == 4) return "WIN_NT";
  const Column column = ColumnOf(f.productType, f.suiteMask);
  if (f.major == 5 && f.minor == 0) return kVersion50[column];
  const int row = (f.architectureClass >= 0 && f.architectureClass <= 2) ? f.architectureClass : 0;
  return f.major == 5 ? kVersion5Later[row][column] : kOtherVersions[row][column];
}

std::string FormatVersionDescription(const VersionNumbers& n) {
  char text[8 * 12 + 1];  // eight longs of at most 11 characters, each with its dot
  (void)std::snprintf(text, sizeof text, "%ld.%ld.%ld.%ld.%ld.%ld.%ld.%ld", static_cast<long>(n[0]),
                      static_cast<long>(n[1]), static_cast<long>(n[2]), static_cast<long>(n[3]),
                      static_cast<long>(n[4]), static_cast<long>(n[5]), static_cast<long>(n[6]),
                      static_cast<long>(n[7]));
  return text;
}

}  // namespace hostprobe
