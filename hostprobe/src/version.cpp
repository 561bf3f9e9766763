// Windows version classification, version description and architecture.
#include <cstring>

#include "jnisupport/jnisupport.h"
#include "lookup.h"
#include "operations.h"
#include "version_rules.h"

namespace hostprobe {

namespace {

static_assert(sizeof(OSVERSIONINFOA) == 148, "basic version structure");
static_assert(sizeof(OSVERSIONINFOEXA) == 156, "extended version structure");

// The machine's own processor architecture: GetNativeSystemInfo where this
// Windows has it (a WOW64 process sees the emulated one in GetSystemInfo).
void QueryNativeSystemInfo(const Platform& p, HMODULE kernel32, SYSTEM_INFO* info) {
  auto native = LookupKernel32<GetNativeSystemInfoFn>(p, kernel32, "GetNativeSystemInfo");
  if (native)
    native(info);
  else
    p.GetSystemInfo(info);
}

}  // namespace

int NativeArchitectureClass(const Platform& p) {
  SYSTEM_INFO info{};
  QueryNativeSystemInfo(p, p.GetModuleHandleA("kernel32.dll"), &info);
  return ArchitectureClassOf(info.wProcessorArchitecture);
}

int IsRunningUnderWow64(const Platform& p) {
  auto isWow64Process =
      LookupKernel32<IsWow64ProcessFn>(p, p.GetModuleHandleA("KERNEL32"), "IsWow64Process");
  if (!isWow64Process) return 0;
  BOOL wow64 = FALSE;
  if (!isWow64Process(p.GetCurrentProcess(), &wow64)) return 0;
  return wow64 ? 1 : 0;
}

const char* ClassifyWindowsVersion(const Platform& p) {
  VersionFacts facts;
  facts.architectureClass = NativeArchitectureClass(p);
  OSVERSIONINFOA basic{};
  basic.dwOSVersionInfoSize = sizeof basic;
  if (!p.GetVersionExA(&basic)) return "UNKNOWN";
  facts.platform = basic.dwPlatformId;
  facts.major = basic.dwMajorVersion;
  facts.minor = basic.dwMinorVersion;
  if (NeedsExtendedFacts(facts.platform, facts.major)) {
    // Without the edition facts a workstation would pass for a server: a
    // failing second query leaves the version unknown, as a failing first.
    OSVERSIONINFOEXA extended{};
    extended.dwOSVersionInfoSize = sizeof extended;
    if (!p.GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&extended))) return "UNKNOWN";
    facts.productType = extended.wProductType;
    facts.suiteMask = extended.wSuiteMask;
  }
  return ClassifyVersion(facts);
}

jstring GetHostProbeVersion(const Platform& p, JNIEnv* env) {
  return jnisupport::NarrowToJString(env, ClassifyWindowsVersion(p));
}

jstring GetWinVerStr(const Platform& p, JNIEnv* env) {
  OSVERSIONINFOEXA info{};
  info.dwOSVersionInfoSize = sizeof info;
  DWORD productType = 0;
  VersionNumbers numbers{};
  HMODULE kernel32 = nullptr;
  SYSTEM_INFO system{};
  bool queried = true;
  if (p.GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info))) {
    kernel32 = p.GetModuleHandleA("kernel32.dll");
    QueryNativeSystemInfo(p, kernel32, &system);
    auto productInfo = LookupKernel32<GetProductInfoFn>(p, kernel32, "GetProductInfo");
    if (productInfo)
      productInfo(info.dwMajorVersion, info.dwMinorVersion, info.wServicePackMajor,
                  info.wServicePackMinor, &productType);
    numbers = {static_cast<std::int32_t>(info.dwMajorVersion),
               static_cast<std::int32_t>(info.dwMinorVersion),
               info.wServicePackMajor,
               info.wServicePackMinor,
               info.wSuiteMask,
               info.wProductType,
               system.wProcessorArchitecture,
               static_cast<std::int32_t>(productType)};
  } else {
    // Windows too old for the extended structure: describe what the basic
    // one gives, the numbers only the extended one holds as 0. When even
    // that fails the version numbers are 0 too; the entry says why.
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!p.GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&info))) {
      p.LogWarning("GetWinVerStr", "GetVersionEx NULL");
      std::memset(&info, 0, sizeof info);
      queried = false;
    }
    QueryNativeSystemInfo(p, p.GetModuleHandleA("kernel32.dll"), &system);
    numbers = {static_cast<std::int32_t>(info.dwMajorVersion),
               static_cast<std::int32_t>(info.dwMinorVersion),
               0,
               0,
               0,
               0,
               system.wProcessorArchitecture,
               0};
  }
  const std::string description = FormatVersionDescription(numbers);
  if (queried) p.LogInfo("GetWinVerStr::os", description.c_str());
  return jnisupport::NarrowToJString(env, description.c_str());
}

jint GetArchitectureWin(const Platform& p) {
  SYSTEM_INFO info{};
  p.GetSystemInfo(&info);
  return info.wProcessorArchitecture;
}

jint IsWow64(const Platform& p) { return IsRunningUnderWow64(p); }

jstring GetSysDr(const Platform& p, JNIEnv* env) {
  const char* drive = p.GetEnv("SystemDrive");
  return drive ? jnisupport::NarrowToJString(env, drive) : nullptr;
}

jstring GetSystemDirectoryText(const Platform& p, JNIEnv* env) {
  char directory[MAX_PATH];
  const UINT length = p.GetSystemDirectoryA(directory, MAX_PATH);
  // 0 is a failure, a length of MAX_PATH or more the size the path would
  // need: in neither case does the buffer hold the path.
  if (length == 0 || length >= MAX_PATH) return nullptr;
  directory[length] = '\0';
  return jnisupport::NarrowToJString(env, directory);
}

}  // namespace hostprobe
