// The whole program against the scripted platform: command forms, the INI
// path check and the first-failure report.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_platform.h"
#include "operations.h"
#include "report.h"
#include "wt/syserror.h"

namespace svcdefine {
namespace {

using testing::FakePlatform;

void ScriptValidIni(FakePlatform& fake) {
  fake.ini = {{L"ServiceName", L"Svc"},
              {L"DisplayName", L"Svc"},
              {L"BinaryPathName", L"C:\\svc.exe"},
              {L"StartType", L"SERVICE_DEMAND_START"}};
}

TEST(Driver, StringTableHoldsEveryMessageByteForByte) {
  const std::pair<int, const wchar_t*> texts[] = {
      {101, L"ERROR: INI file not found."},
      {201, L"ERROR: ServiceName not found."},
      {202, L"ERROR: DisplayName not found."},
      {203, L"ERROR: BinaryPathName not found."},
      {204, L"ERROR: StartType not found."},
      {301, L"ERROR: Invalid StartType."},
      {302, L"ERROR: Invalid ErrorControl."},
      {401, L"ERROR: RegOpenKeyEx() failed."},
      {402, L"ERROR: RegSetValueEx() failed."},
      {501, L"ERROR: OpenSCManager() failed."},
      {502, L"ERROR: CreateService() failed."},
      {503, L"ERROR: ChangeServiceConfig() failed."},
      {504, L"ERROR: OpenService() failed."},
      {505, L"ERROR: QueryServiceStatus() failed."},
      {506, L"ERROR: ControlService() failed."},
      {507, L"ERROR: StopService() failed."},
      {508, L"ERROR: DeleteService() failed."},
      {901, L"Processing INI file:"},
  };
  for (const auto& [id, text] : texts) EXPECT_EQ(CatalogueText(id), text) << id;
  // Language 1033 explicitly, as the catalogue is declared.
  EXPECT_NE(FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(901 / 16 + 1),
                            MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
            nullptr);
}

TEST(Driver, UsageFormsPrintTheUsageTextAndExitMinusOne) {
  const std::vector<std::vector<std::wstring>> forms = {
      {}, {L"a.ini", L"b.ini"}, {L"a", L"b", L"c"}, {L"-remove", L"Svc", L"extra"}};
  for (const auto& args : forms) {
    FakePlatform fake;
    EXPECT_EQ(svcdefine::Run(fake.platform(), args), -1);
    EXPECT_EQ(fake.out, L"USAGE:\n  svcdefine <inifilepath>\n");
    EXPECT_TRUE(fake.calls.empty());
  }
}

TEST(Driver, BareFileNameIsResolvedOnceForTheCheckAndEveryRead) {
  FakePlatform fake;
  ScriptValidIni(fake);
  fake.currentDirectory = L"C:\\setup\\";
  fake.files = {L"C:\\setup\\service.ini"};
  EXPECT_EQ(svcdefine::Run(fake.platform(), {L"service.ini"}), 0);
  EXPECT_EQ(fake.out, CatalogueText(901) + L" service.ini\n") << "the path as given";
  EXPECT_EQ(fake.foundPath, L"C:\\setup\\service.ini");
  EXPECT_EQ(fake.profilePaths, std::set<std::wstring>{L"C:\\setup\\service.ini"});
  EXPECT_TRUE(fake.AllReleased());
}

TEST(Driver, PathLongerThanMaxPathIsResolvedWhole) {
  FakePlatform fake;
  ScriptValidIni(fake);
  fake.currentDirectory = L"C:\\" + std::wstring(300, L'd') + L"\\";
  const std::wstring full = fake.currentDirectory + L"service.ini";
  fake.files = {full};
  EXPECT_EQ(svcdefine::Run(fake.platform(), {L"service.ini"}), 0);
  EXPECT_EQ(fake.profilePaths, std::set<std::wstring>{full});
}

TEST(Driver, IniPathThatIsNoFileGives101WithTheSystemText) {
  struct Case {
    const char* what;
    std::wstring arg;
    DWORD code;
  } cases[] = {
      {"missing file", L"missing.ini", ERROR_FILE_NOT_FOUND},
      {"a folder", L"folder", ERROR_FILE_NOT_FOUND},
      {"wildcards would match another file", L"*.ini", ERROR_INVALID_NAME},
      {"unresolvable path", L"<bad>", ERROR_BAD_PATHNAME},
      // The resolver may fail without a code of its own (Wine, for "").
      {"empty path", L"", ERROR_INVALID_NAME},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    ScriptValidIni(fake);
    fake.files = {L"C:\\work\\other.ini"};
    fake.directories = {L"C:\\work\\folder"};
    if (c.arg == L"<bad>" || c.arg.empty()) {
      fake.fullPathFails = true;
      fake.fullPathError = c.arg.empty() ? 0 : ERROR_BAD_PATHNAME;
      SetLastError(ERROR_INVALID_HANDLE);  // stale, from some earlier call
    }
    EXPECT_EQ(svcdefine::Run(fake.platform(), {c.arg}), 101) << c.what;
    EXPECT_EQ(fake.out, CatalogueText(901) + L" " + c.arg + L"\n" + CatalogueText(101) + L"\n" +
                            wt::SystemMessageW(c.code))
        << c.what;
    EXPECT_TRUE(fake.profilePaths.empty()) << c.what;
    EXPECT_FALSE(fake.created) << c.what;
    EXPECT_TRUE(fake.AllReleased()) << c.what;
  }
}

TEST(Driver, ReadFailurePrintsOnlyItsMessageAndTouchesNoService) {
  FakePlatform fake;
  ScriptValidIni(fake);
  fake.ini[L"StartType"] = L"SERVICE_DEMAND";
  fake.files = {L"C:\\work\\svc.ini"};
  EXPECT_EQ(svcdefine::Run(fake.platform(), {L"svc.ini"}), 301);
  EXPECT_EQ(fake.out, CatalogueText(901) + L" svc.ini\n" + CatalogueText(301) + L"\n");
  EXPECT_EQ(std::count(fake.calls.begin(), fake.calls.end(), L"OpenSCManagerW"), 0);
}

TEST(Driver, RemoveFormTakesTheRemovalPath) {
  FakePlatform fake;
  fake.queries = {{SERVICE_STOPPED, 0, 0}};
  EXPECT_EQ(svcdefine::Run(fake.platform(), {L"-REMOVE", L"Svc"}), 0);
  EXPECT_EQ(fake.openedServiceName, L"Svc");
  EXPECT_EQ(fake.out, L"");
}

}  // namespace
}  // namespace svcdefine
