// Service creation against the scripted service manager and registry.
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "operations.h"
#include "report.h"
#include "wt/syserror.h"

namespace svcdefine {
namespace {

using testing::FakePlatform;

ServiceDefinition Full() {
  using namespace std::string_literals;
  ServiceDefinition d;
  d.ServiceName = L"ExampleSvc";
  d.DisplayName = L"Example Service";
  d.Description = L"Example service for the installer";
  d.BinaryPathName = L"C:\\Apps\\Example\\examplesvc.exe -service";
  d.Dependencies = L"Tcpip\0Afd\0"s;
  d.WorkDir = L"C:\\Apps\\Example";
  d.StartType = 2;
  d.ErrorControl = 1;
  d.ServiceType = 0x10;
  d.DesiredAccess = 0x16;
  return d;
}

std::wstring Report(int id, DWORD code) {
  return CatalogueText(id) + L"\n" + wt::SystemMessageW(code);
}

TEST(ServiceCreation, PassesTheDefinitionToTheManagerAndRecordsTheWorkDir) {
  FakePlatform fake;
  ASSERT_EQ(CreateDefinedService(fake.platform(), Full()), 0);
  EXPECT_EQ(fake.openScmAccess, 0xF003Fu);
  ASSERT_TRUE(fake.created);
  const auto& c = *fake.created;
  EXPECT_EQ(c.serviceName, L"ExampleSvc");
  EXPECT_EQ(c.displayName, L"Example Service");
  EXPECT_EQ(c.desiredAccess, 0x16u);
  EXPECT_EQ(c.serviceType, 0x10u);
  EXPECT_EQ(c.startType, 2u);
  EXPECT_EQ(c.errorControl, 1u);
  EXPECT_EQ(c.binaryPath, L"C:\\Apps\\Example\\examplesvc.exe -service");
  EXPECT_TRUE(c.loadOrderGroupNull);
  EXPECT_TRUE(c.tagIdNull);
  EXPECT_TRUE(c.passwordNull);
  const std::vector<wchar_t> deps = {L'T', L'c', L'p', L'i', L'p', 0, L'A', L'f', L'd', 0, 0};
  EXPECT_EQ(c.dependencies, deps);
  EXPECT_FALSE(c.serviceStartName) << "absent account must be a null pointer";
  EXPECT_EQ(fake.description, L"Example service for the installer");

  EXPECT_EQ(fake.regRoot, HKEY_LOCAL_MACHINE);
  EXPECT_EQ(fake.regPath, L"SYSTEM\\CurrentControlSet\\Services\\ExampleSvc");
  EXPECT_EQ(fake.regAccess, static_cast<REGSAM>(KEY_WRITE));
  EXPECT_EQ(fake.valueName, L"workdir");
  EXPECT_EQ(fake.valueType, static_cast<DWORD>(REG_SZ));
  const std::wstring dir = L"C:\\Apps\\Example";
  ASSERT_EQ(fake.valueData.size(), (dir.size() + 1) * 2) << "byte length counts the terminator";
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(fake.valueData.data())), dir);
  EXPECT_EQ(fake.out, L"");
  EXPECT_TRUE(fake.AllReleased());
  // The handles are closed before the registry is opened.
  const std::vector<std::wstring> calls = {
      L"OpenSCManagerW", L"CreateServiceW", L"ChangeServiceConfig2W", L"CloseServiceHandle",
      L"CloseServiceHandle", L"RegOpenKeyExW", L"RegSetValueExW", L"RegCloseKey"};
  EXPECT_EQ(fake.calls, calls);
}

TEST(ServiceCreation, OptionalFieldsStayNullAndSkipTheirSteps) {
  FakePlatform fake;
  ServiceDefinition d = Full();
  d.Description.reset();
  d.Dependencies.reset();
  d.WorkDir.reset();
  d.ServiceStartName = L".\\svcuser";
  ASSERT_EQ(CreateDefinedService(fake.platform(), d), 0);
  EXPECT_FALSE(fake.created->dependencies);
  EXPECT_EQ(fake.created->serviceStartName, L".\\svcuser");
  const std::vector<std::wstring> calls = {L"OpenSCManagerW", L"CreateServiceW",
                                           L"CloseServiceHandle", L"CloseServiceHandle"};
  EXPECT_EQ(fake.calls, calls);
  EXPECT_TRUE(fake.AllReleased());
}

struct FailureCase {
  const char* what;
  void (*script)(FakePlatform&);
  int result;
  DWORD code;
  const wchar_t* lastCall;
};

TEST(ServiceCreation, EachFailureReportsItsMessageAndTheCallsCode) {
  const FailureCase cases[] = {
      {"manager refused", [](FakePlatform& f) { f.openScmError = ERROR_ACCESS_DENIED; }, 501,
       ERROR_ACCESS_DENIED, L"OpenSCManagerW"},
      {"service exists", [](FakePlatform& f) { f.createError = ERROR_SERVICE_EXISTS; }, 502,
       ERROR_SERVICE_EXISTS, L"CloseServiceHandle"},
      {"description refused (no AccessChgCfg)",
       [](FakePlatform& f) { f.changeConfigError = ERROR_ACCESS_DENIED; }, 503,
       ERROR_ACCESS_DENIED, L"CloseServiceHandle"},
      {"key not opened", [](FakePlatform& f) { f.regOpenResult = ERROR_FILE_NOT_FOUND; }, 401,
       ERROR_FILE_NOT_FOUND, L"RegOpenKeyExW"},
      {"value not written", [](FakePlatform& f) { f.regSetResult = ERROR_ACCESS_DENIED; }, 402,
       ERROR_ACCESS_DENIED, L"RegCloseKey"},
  };
  for (const auto& c : cases) {
    FakePlatform fake;
    c.script(fake);
    EXPECT_EQ(CreateDefinedService(fake.platform(), Full()), c.result) << c.what;
    EXPECT_EQ(fake.out, Report(c.result, c.code)) << c.what;
    EXPECT_EQ(fake.calls.back(), c.lastCall) << c.what;
    EXPECT_TRUE(fake.AllReleased()) << c.what;
  }
}

}  // namespace
}  // namespace svcdefine
