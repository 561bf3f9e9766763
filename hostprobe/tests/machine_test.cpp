#include <gtest/gtest.h>

#include "fake_platform.h"
#include "operations.h"
#include "wttest/jnihost.h"

namespace {

using hostprobe_test::FakePlatform;

TEST(ProcessorFacts, FieldsOfGetSystemInfo) {
  FakePlatform f;
  f.systemInfo.wProcessorLevel = 0xFFFF;
  f.systemInfo.wProcessorRevision = (58 << 8) | 9;
  f.systemInfo.dwNumberOfProcessors = 12;
  f.nativeInfo = f.systemInfo;
  f.nativeInfo.dwNumberOfProcessors = 99;
  EXPECT_EQ(hostprobe::GetCPULevelWin(f.table()), 65535);
  EXPECT_EQ(hostprobe::GetCPUModelWin(f.table()), 58);
  EXPECT_EQ(hostprobe::GetCPUSteppingWin(f.table()), 9);
  EXPECT_EQ(hostprobe::GetCPUNumWin(f.table()), 12);
  EXPECT_EQ(f.Count("GetSystemInfo"), 4);
  EXPECT_EQ(f.Count("GetNativeSystemInfo"), 0);
  f.systemInfo.wProcessorRevision = 0xFF00;
  EXPECT_EQ(hostprobe::GetCPUModelWin(f.table()), 255);
  EXPECT_EQ(hostprobe::GetCPUSteppingWin(f.table()), 0);
}

TEST(GetPhysicalMemory, SixtyFourBitsOrZeroOnFailure) {
  FakePlatform f;
  f.totalPhysical = 17179869184ULL;  // 16 GB
  EXPECT_EQ(hostprobe::GetPhysicalMemory(f.table()), 17179869184LL);
  f.memoryFails = true;
  EXPECT_EQ(hostprobe::GetPhysicalMemory(f.table()), 0);
}

TEST(WinGetComputerName, AnsiBytesUnchangedOrNull) {
  FakePlatform f;
  wttest::JniHost host;
  f.computerName = "PC-\xc4\xe9";
  EXPECT_EQ(host.Utf(hostprobe::WinGetComputerName(f.table(), host.env())),
            std::string("PC-\xc4\xe9"));
  f.computerNameFails = true;
  EXPECT_EQ(hostprobe::WinGetComputerName(f.table(), host.env()), nullptr);
}

}  // namespace
