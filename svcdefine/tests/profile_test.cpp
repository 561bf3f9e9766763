// The INI rules against the platform's own profile reader and real files:
// what the reader hands over is what the tool relies on.
#include "profile.h"

#include <gtest/gtest.h>

#include "temp_folder.h"
#include "wttest/platform.h"

namespace svcdefine {
namespace {

using testing::TempFolder;

const char kMinimal[] =
    "[Service]\r\n"
    "ServiceName=Svc\r\n"
    "DisplayName=Svc display\r\n"
    "BinaryPathName=C:\\svc.exe\r\n"
    "StartType=SERVICE_DEMAND_START\r\n";

int Read(const std::wstring& file, ServiceDefinition* d) {
  return ReadDefinition(PlatformProfile(RealPlatform(), file), d);
}

TEST(PlatformProfile, KeyNamesIgnoreCaseAndValuesLoseBlanksAndQuotes) {
  TempFolder dir;
  const auto file = dir.Write(L"svc.ini",
                              "; comment\r\n"
                              "[SERVICE]\r\n"
                              "servicename =  Svc  \r\n"
                              "DISPLAYNAME=\"Quoted Name\"\r\n"
                              "BinaryPathName=\"C:\\Program Files\\svc.exe\" -service\r\n"
                              "starttype=SERVICE_AUTO_START\r\n"
                              "Description=  two words  \r\n");
  ServiceDefinition d;
  ASSERT_EQ(Read(file, &d), 0);
  EXPECT_EQ(d.ServiceName, L"Svc");
  EXPECT_EQ(d.DisplayName, L"Quoted Name");
  // Quotes are removed only when they enclose the whole value.
  EXPECT_EQ(d.BinaryPathName, L"\"C:\\Program Files\\svc.exe\" -service");
  EXPECT_EQ(d.StartType, 2u);
  EXPECT_EQ(d.Description, L"two words");
}

TEST(PlatformProfile, EmptyValuesCountAsAbsent) {
  TempFolder dir;
  ServiceDefinition d;
  const std::string noDisplay =
      "[Service]\r\nServiceName=Svc\r\nDisplayName=\r\nBinaryPathName=x\r\nStartType=SERVICE_DISABLED\r\n";
  EXPECT_EQ(Read(dir.Write(L"b.ini", noDisplay), &d), 202);
  const std::string blanks = std::string(kMinimal) + "Description=   \r\nWorkDir=\r\nErrorControl=\r\n";
  ASSERT_EQ(Read(dir.Write(L"c.ini", blanks), &d), 0);
  EXPECT_FALSE(d.Description);
  EXPECT_FALSE(d.WorkDir);
  EXPECT_EQ(d.ErrorControl, 0u);
}

TEST(PlatformProfile, LowerCaseKeywordIsRejected) {
  TempFolder dir;
  ServiceDefinition d;
  const std::string ini =
      "[Service]\r\nServiceName=Svc\r\nDisplayName=D\r\nBinaryPathName=x\r\nStartType=service_auto_start\r\n";
  EXPECT_EQ(Read(dir.Write(L"a.ini", ini), &d), 301);
  EXPECT_EQ(Read(dir.Write(L"b.ini", std::string(kMinimal) + "ErrorControl=Service_Error_Normal\r\n"), &d),
            302);
}

TEST(PlatformProfile, FlagsAreReadAsIntegers) {
  TempFolder dir;
  struct Case {
    const char* lines;
    std::uint32_t type, access;
  } cases[] = {
      {"Interactive=0\r\n", 0x10, 0},
      {"Interactive=2\r\n", 0x110, 0},
      {"Interactive=true\r\nAccessStop=true\r\nAccessStart=yes\r\n", 0x10, 0},
      {"AccessChgCfg=2\r\nAccessQryStatus=1\r\naccessstart=1\r\n", 0x10, 0x16},
  };
  int n = 0;
  for (const auto& c : cases) {
    const auto file = dir.Write(L"f" + std::to_wstring(n++) + L".ini", std::string(kMinimal) + c.lines);
    ServiceDefinition d;
    ASSERT_EQ(Read(file, &d), 0);
    EXPECT_EQ(d.ServiceType, c.type) << c.lines;
    EXPECT_EQ(d.DesiredAccess, c.access) << c.lines;
  }
}

TEST(PlatformProfile, DependenciesBecomeTheList) {
  TempFolder dir;
  using namespace std::string_literals;
  const auto file = dir.Write(L"a.ini", std::string(kMinimal) + "Dependencies=Tcpip||Afd|\r\n");
  ServiceDefinition d;
  ASSERT_EQ(Read(file, &d), 0);
  EXPECT_EQ(d.Dependencies, L"Tcpip\0Afd\0"s);
}

TEST(PlatformProfile, LongValuesAreReadWhole) {
  TempFolder dir;
  for (size_t length : {size_t{32766}, size_t{32767}, size_t{32768}, size_t{40000}}) {
    std::string value(length, 'x');
    value.back() = 'E';  // the end is what a cut would lose
    const auto file = dir.Write(L"long" + std::to_wstring(length) + L".ini",
                                std::string(kMinimal) + "Description=" + value + "\r\n");
    ServiceDefinition d;
    ASSERT_EQ(Read(file, &d), 0);
    ASSERT_TRUE(d.Description);
    EXPECT_EQ(d.Description->size(), length);
    EXPECT_EQ(d.Description->back(), L'E') << length;
  }
}

TEST(PlatformProfile, Utf16FileWithByteOrderMarkReadsAsUnicode) {
  TempFolder dir;
  const auto file = dir.WriteUtf16(
      L"u.ini",
      L"[Service]\r\nServiceName=Sv\u00e9\u4e2d\r\nDisplayName=D\u00e9\r\nBinaryPathName=x\r\n"
      L"StartType=SERVICE_DISABLED\r\n");
  ServiceDefinition d;
  ASSERT_EQ(Read(file, &d), 0);
  EXPECT_EQ(d.ServiceName, L"Sv\u00e9\u4e2d");
  EXPECT_EQ(d.DisplayName, L"D\u00e9");
}

}  // namespace
}  // namespace svcdefine
