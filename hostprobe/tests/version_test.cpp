// Version, architecture and system facts through the scripted platform.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "operations.h"
#include "wttest/jnihost.h"

namespace {

using hostprobe_test::FakePlatform;

std::optional<std::wstring> Text(wttest::JniHost& host, jstring s) { return host.Text(s); }

TEST(NativeArchitectureClass, UsesTheNativeQueryAndFallsBackToGetSystemInfo) {
  FakePlatform f;
  f.nativeInfo.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
  f.systemInfo.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
  EXPECT_EQ(hostprobe::NativeArchitectureClass(f.table()), 1);
  f.nativeInfo.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_IA64;
  EXPECT_EQ(hostprobe::NativeArchitectureClass(f.table()), 2);
  f.nativeInfo.wProcessorArchitecture = 12;  // ARM64: no class of its own
  EXPECT_EQ(hostprobe::NativeArchitectureClass(f.table()), 0);

  f.hasNativeSystemInfo = false;
  f.systemInfo.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
  EXPECT_EQ(hostprobe::NativeArchitectureClass(f.table()), 1);
  f.hasNativeSystemInfo = true;
  f.hasKernel32 = false;
  EXPECT_EQ(hostprobe::NativeArchitectureClass(f.table()), 1);
  EXPECT_EQ(f.Count("GetProcAddress"), 4);  // none without the module
}

TEST(ClassifyWindowsVersion, AskTheBasicThenTheExtendedQuery) {
  FakePlatform f;
  f.version.wProductType = VER_NT_SERVER;
  f.version.wSuiteMask = VER_SUITE_ENTERPRISE;
  EXPECT_STREQ(hostprobe::ClassifyWindowsVersion(f.table()), "X64_ESRV08");
  EXPECT_EQ(f.versionSizes, (std::vector<DWORD>{148, 156}));
}

TEST(ClassifyWindowsVersion, FailingBasicQueryIsUnknown) {
  FakePlatform f;
  f.basicVersionFails = true;
  EXPECT_STREQ(hostprobe::ClassifyWindowsVersion(f.table()), "UNKNOWN");
  EXPECT_EQ(f.versionSizes, std::vector<DWORD>{148});
}

TEST(ClassifyWindowsVersion, NtFourAndTheNinetyFiveLineMakeNoExtendedQuery) {
  FakePlatform f;
  f.version.dwMajorVersion = 4;
  EXPECT_STREQ(hostprobe::ClassifyWindowsVersion(f.table()), "WIN_NT");
  f.version.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  f.version.dwMinorVersion = 90;
  EXPECT_STREQ(hostprobe::ClassifyWindowsVersion(f.table()), "WIN_ME");
  EXPECT_EQ(f.versionSizes, (std::vector<DWORD>{148, 148}));
}

TEST(ClassifyWindowsVersion, FailingExtendedQueryIsUnknownToo) {
  FakePlatform f;
  f.extendedVersionFails = true;
  EXPECT_STREQ(hostprobe::ClassifyWindowsVersion(f.table()), "UNKNOWN");
}

TEST(ClassifyWindowsVersion, Wow64ProcessOnX64SeesTheNativeArchitecture) {
  FakePlatform f;  // 6.1 workstation, native AMD64, GetSystemInfo INTEL
  f.wow64 = TRUE;
  EXPECT_STREQ(hostprobe::ClassifyWindowsVersion(f.table()), "X64_VSPRO");
  EXPECT_EQ(hostprobe::GetArchitectureWin(f.table()), PROCESSOR_ARCHITECTURE_INTEL);
  EXPECT_EQ(hostprobe::IsWow64(f.table()), 1);
}

TEST(GetWinVerStr, DescribesTheExtendedQueryAndLogsIt) {
  FakePlatform f;
  f.productInfo = 0x30;
  wttest::JniHost host;
  jstring s = hostprobe::GetWinVerStr(f.table(), host.env());
  EXPECT_EQ(host.Utf(s), std::string("6.1.1.0.256.1.9.48"));
  EXPECT_EQ(f.log, std::vector<std::string>{"INFO: GetWinVerStr::os=6.1.1.0.256.1.9.48"});
  EXPECT_EQ(f.versionSizes, std::vector<DWORD>{156});
  EXPECT_EQ(f.productInfoArgs, (std::vector<DWORD>{6, 1, 1, 0}));
}

TEST(GetWinVerStr, ProductTypeWithTheTopBitSetIsNegative) {
  FakePlatform f;
  f.productInfo = 0xABCDABCD;  // PRODUCT_UNLICENSED
  wttest::JniHost host;
  EXPECT_EQ(host.Utf(hostprobe::GetWinVerStr(f.table(), host.env())),
            std::string("6.1.1.0.256.1.9.-1412584499"));
}

TEST(GetWinVerStr, MissingLookupsFallBack) {
  struct Case {
    bool kernel32, native, product;
    const char* text;
  } cases[] = {
      {true, false, true, "6.1.1.0.256.1.0.48"},  // GetSystemInfo's INTEL
      {true, true, false, "6.1.1.0.256.1.9.0"},   // no GetProductInfo: 0
      {false, true, true, "6.1.1.0.256.1.0.0"},   // no module: both
  };
  for (const Case& c : cases) {
    FakePlatform f;
    f.productInfo = 48;
    f.hasKernel32 = c.kernel32;
    f.hasNativeSystemInfo = c.native;
    f.hasProductInfo = c.product;
    wttest::JniHost host;
    EXPECT_EQ(host.Utf(hostprobe::GetWinVerStr(f.table(), host.env())), std::string(c.text));
  }
}

TEST(GetWinVerStr, FailingExtendedQueryDescribesTheBasicOne) {
  FakePlatform f;
  f.extendedVersionFails = true;
  f.productInfo = 48;
  wttest::JniHost host;
  EXPECT_EQ(host.Utf(hostprobe::GetWinVerStr(f.table(), host.env())),
            std::string("6.1.0.0.0.0.9.0"));
  EXPECT_EQ(f.versionSizes, (std::vector<DWORD>{156, 148}));
  EXPECT_EQ(f.log, std::vector<std::string>{"INFO: GetWinVerStr::os=6.1.0.0.0.0.9.0"});
  EXPECT_EQ(f.Count("GetProductInfo"), 0);
}

TEST(GetWinVerStr, BothQueriesFailingWarnAndGiveZeroVersion) {
  FakePlatform f;
  f.extendedVersionFails = true;
  f.basicVersionFails = true;
  wttest::JniHost host;
  EXPECT_EQ(host.Utf(hostprobe::GetWinVerStr(f.table(), host.env())),
            std::string("0.0.0.0.0.0.9.0"));
  EXPECT_EQ(f.log, std::vector<std::string>{"WARNING: GetWinVerStr=GetVersionEx NULL"});
}

TEST(IsRunningUnderWow64, EveryFailureIsZero) {
  struct Case {
    bool kernel32, entry, fails;
    BOOL flag;
    int result;
  } cases[] = {
      {true, true, false, TRUE, 1},  {true, true, false, FALSE, 0}, {true, true, true, TRUE, 0},
      {true, false, false, TRUE, 0}, {false, true, false, TRUE, 0},
  };
  for (const Case& c : cases) {
    FakePlatform f;
    f.hasKernel32 = c.kernel32;
    f.hasIsWow64Process = c.entry;
    f.isWow64ProcessFails = c.fails;
    f.wow64 = c.flag;
    EXPECT_EQ(hostprobe::IsRunningUnderWow64(f.table()), c.result);
  }
}

TEST(GetArchitectureWin, PassesGetSystemInfoThrough) {
  for (WORD arch : {WORD{0}, WORD{9}, WORD{6}, WORD{0xFFFF}}) {
    FakePlatform f;
    f.systemInfo.wProcessorArchitecture = arch;
    EXPECT_EQ(hostprobe::GetArchitectureWin(f.table()), arch);
    EXPECT_EQ(f.Count("GetNativeSystemInfo"), 0);
  }
}

TEST(GetSysDr, TheVariableOrNull) {
  FakePlatform f;
  wttest::JniHost host;
  EXPECT_EQ(hostprobe::GetSysDr(f.table(), host.env()), nullptr);
  f.environment["SystemDrive"] = "D:";
  EXPECT_EQ(host.Utf(hostprobe::GetSysDr(f.table(), host.env())), std::string("D:"));
}

TEST(GetSystemDirectory, TheFolderOrNullWhenItDoesNotFit) {
  wttest::JniHost host;
  {
    FakePlatform f;
    EXPECT_EQ(Text(host, hostprobe::GetSystemDirectoryText(f.table(), host.env())),
              std::wstring(L"C:\\windows\\system32"));
  }
  {
    FakePlatform f;
    f.systemDirectoryFails = true;
    EXPECT_EQ(hostprobe::GetSystemDirectoryText(f.table(), host.env()), nullptr);
  }
  {
    FakePlatform f;
    f.systemDirectory = "C:\\" + std::string(300, 'w');
    EXPECT_EQ(hostprobe::GetSystemDirectoryText(f.table(), host.env()), nullptr);
  }
}

}  // namespace
