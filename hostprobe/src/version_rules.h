// The Windows version classification and the version description: pure
// functions of the numbers the version queries report. No Windows header, so
// this also builds with the host compiler.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace hostprobe {

// Values of the Win32 version structures the rules look at.
constexpr std::uint32_t kPlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr std::uint32_t kPlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT
constexpr unsigned kProductWorkstation = 1;         // VER_NT_WORKSTATION
constexpr unsigned kSuitePersonal = 0x0200;         // VER_SUITE_PERSONAL
constexpr unsigned kSuiteDatacenter = 0x0080;       // VER_SUITE_DATACENTER
constexpr unsigned kSuiteEnterprise = 0x0002;       // VER_SUITE_ENTERPRISE
constexpr unsigned kArchitectureAmd64 = 9;          // PROCESSOR_ARCHITECTURE_AMD64
constexpr unsigned kArchitectureIa64 = 6;           // PROCESSOR_ARCHITECTURE_IA64

// 1 for AMD64, 2 for IA64, 0 for every other native architecture.
int ArchitectureClassOf(unsigned nativeArchitecture);

struct VersionFacts {
  std::uint32_t platform = 0;
  std::uint32_t major = 0;
  std::uint32_t minor = 0;
  unsigned productType = 0;  // from the extended query
  unsigned suiteMask = 0;    // from the extended query
  int architectureClass = 0;
};

// Whether the code depends on product type and suite mask: only the NT line
// from version 5 on (and the other majors of that line) needs the extended
// version query.
bool NeedsExtendedFacts(std::uint32_t platform, std::uint32_t major);

// The version code: one of 39 fixed texts, never null, never to be freed.
const char* ClassifyVersion(const VersionFacts& facts);

// The eight numbers of the version description, in their order: major,
// minor, service pack major and minor, suite mask, product type, native
// processor architecture, product type of GetProductInfo.
using VersionNumbers = std::array<std::int32_t, 8>;

// "%ld.%ld.%ld.%ld.%ld.%ld.%ld.%ld": each number as a signed 32-bit decimal,
// so a product type with the top bit set is written negative.
std::string FormatVersionDescription(const VersionNumbers& numbers);

}  // namespace hostprobe
