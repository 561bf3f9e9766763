#include "wttest/pe.h"

#include <gtest/gtest.h>

#include "wttest/process.h"

namespace {

TEST(PeReader, ReadsMachineSubsystemAndImportsOfBothArchitectures) {
  const auto x64 = wttest::ReadPe(wttest::BuiltProgram(L"wt_echo.exe"));
  ASSERT_TRUE(x64.valid);
  EXPECT_EQ(x64.machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(x64.subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
  EXPECT_FALSE(x64.isDll);
  EXPECT_NE(std::find(x64.imports.begin(), x64.imports.end(), "KERNEL32.dll"), x64.imports.end());

  const auto x86 = wttest::ReadPe(wttest::ArchProgram(L"x86", L"wt_echo.exe"));
  ASSERT_TRUE(x86.valid);
  EXPECT_EQ(x86.machine, IMAGE_FILE_MACHINE_I386);
}

TEST(PeReader, RejectsWhatIsNotAPeFile) {
  EXPECT_FALSE(wttest::ReadPe(L"no such file.exe").valid);
  const auto self = wttest::BinaryDirectory() + L"..\\CMakeCache.txt";
  EXPECT_FALSE(wttest::ReadPe(self).valid);
}

}  // namespace
