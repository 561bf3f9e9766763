// The example package (installer/src/example.wxs) under the system's own
// msiexec, over its whole life: installed, installed again, repaired (with
// remembered settings, and with its service disabled), upgraded to the next
// version, removed, and made to fail installing and removing. The tools it
// runs as custom actions are judged by what they leave: the service with its
// description, account and state, the shortcuts, the files; and the log by
// what RunTool wrote into it (a tool's own lines) and what it must never hold
// (a password).
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h:
#include <msi.h>
#include <ntsecapi.h>
#include <shlobj.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "lnk_reader.h"
#include "wt/owned.h"
#include "wttest/platform.h"
#include "wttest/process.h"
#include "wttest/service.h"

namespace {

using wttest::Narrow;

const wchar_t kUpgradeCode[] = L"{47DD1E8D-F190-40C9-9EB7-58C3976116A7}";
const wchar_t kService[] = L"WtExampleSvc";
constexpr DWORD kUnknownProduct = 1605;  // ERROR_UNKNOWN_PRODUCT

std::wstring Folder(int csidl) {
  wchar_t path[MAX_PATH] = L"";
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}
std::wstring InstallDir() { return Folder(CSIDL_PROGRAM_FILES) + L"\\WT Example\\"; }
std::wstring LinkDir() { return Folder(CSIDL_COMMON_PROGRAMS) + L"\\WT Example\\"; }
bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
std::string ReadFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// msiexec with the arguments, no user interface and a verbose log (into
// *log): its whole exit code (a Unix shell would see only the low 8 bits).
DWORD Msiexec(const std::wstring& arguments, std::string* log = nullptr) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring logFile = temp + wttest::UniqueName(L"wtmsi") + L".log";
  wttest::ProcessOptions options;
  options.timeoutMs = 300000;
  const auto r =
      wttest::RunProcess(Folder(CSIDL_SYSTEM) + L"\\msiexec.exe",
                         L"msiexec " + arguments + L" /qn /l*v \"" + logFile + L"\"", options);
  if (log) *log = ReadFile(logFile);
  DeleteFileW(logFile.c_str());
  return r.started && !r.timedOut ? r.exitCode : ~0u;
}
// example.msi, or example-next.msi: the same source as the next version.
std::wstring Package(const wchar_t* name = L"example") {
  return L"\"" + wttest::BinaryDirectory() + L"..\\installer\\" + name + L".msi\"";
}
// The installed versions of the product (by its upgrade code).
std::vector<std::wstring> Products() {
  std::vector<std::wstring> codes;
  wchar_t code[39];
  for (DWORD i = 0; MsiEnumRelatedProductsW(kUpgradeCode, 0, i, code) == ERROR_SUCCESS; ++i)
    codes.push_back(code);
  return codes;
}
bool ProductInstalled() { return !Products().empty(); }

// A repair with the default file rules of msiexec /f. Wine's msiexec has no
// /f (it refuses a product code and gives 1605 for a package path), so
// there it takes the form /f stands for: REINSTALL=ALL with the same mode.
DWORD Repair(std::string* log = nullptr) {
  return wttest::RunningUnderWine()
             ? Msiexec(L"/i " + Package() + L" REINSTALL=ALL REINSTALLMODE=omus", log)
             : Msiexec(L"/fomus " + Package(), log);
}

// Whether the local policy lists the right for LocalService (S-1-5-19).
bool LocalServiceHolds(const wchar_t* right) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID sid = nullptr;
  AllocateAndInitializeSid(&nt, 1, SECURITY_LOCAL_SERVICE_RID, 0, 0, 0, 0, 0, 0, 0, &sid);
  LSA_OBJECT_ATTRIBUTES attributes = {};
  LSA_HANDLE policy = nullptr;
  bool held = false;
  if (sid && LsaOpenPolicy(nullptr, &attributes, POLICY_LOOKUP_NAMES, &policy) == 0) {
    PLSA_UNICODE_STRING rights = nullptr;
    ULONG count = 0;
    if (LsaEnumerateAccountRights(policy, sid, &rights, &count) == 0) {
      for (ULONG i = 0; i < count; ++i)
        held |= std::wstring(rights[i].Buffer, rights[i].Length / 2) == right;
      LsaFreeMemory(rights);
    }
    LsaClose(policy);
  }
  if (sid) FreeSid(sid);
  return held;
}

// The settings an installation was given (the package's defaults here).
struct Settings {
  std::string account = "NT AUTHORITY\\LocalService";
  std::string options;
  std::string description = "Runs the background jobs of WT Example";
  std::wstring version = WT_PROJECT_VERSION;
  DWORD state = SERVICE_RUNNING;
};
const wchar_t kCustom[] =
    L" \"SERVICEACCOUNT=NT AUTHORITY\\NetworkService\" RIGHTSACCOUNT=*S-1-5-20"
    L" \"SERVICEOPTIONS=--hint-ms 500\" \"SERVICEDESCRIPTION=Custom jobs\"";
Settings Custom() {
  Settings s;
  s.account = "NT AUTHORITY\\NetworkService";
  s.options = "--hint-ms 500";
  s.description = "Custom jobs";
  return s;
}

// What an installed product has: its service in the state expected, as the
// package made it with those settings (program path quoted, or Windows would
// try C:\Program.exe first), the right granted, both shortcuts pointing into
// the installation, and each INI entry written once.
void ExpectInstalled(const Settings& expected = Settings()) {
  SERVICE_STATUS status;
  EXPECT_TRUE(wttest::WaitForServiceState(kService, expected.state, 10000, &status))
      << "state " << status.dwCurrentState;
  wt::OwnedServiceHandle scm(::CloseServiceHandle, OpenSCManagerW(nullptr, nullptr, GENERIC_READ));
  wt::OwnedServiceHandle service(::CloseServiceHandle,
                                 OpenServiceW(scm.get(), kService, SERVICE_QUERY_CONFIG));
  std::vector<BYTE> buffer(8192);
  DWORD needed = 0;
  const auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  ASSERT_TRUE(QueryServiceConfigW(
      service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()), 8192, &needed));
  const std::string path = Narrow(config->lpBinaryPathName);
  EXPECT_EQ(path.rfind("\"" + Narrow(InstallDir()) + "examplesvc.exe\" " + expected.options, 0), 0u)
      << path;
  EXPECT_EQ(Narrow(config->lpServiceStartName), expected.account);
  ASSERT_TRUE(QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer.data(), 8192,
                                   &needed));
  const wchar_t* description =
      reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer.data())->lpDescription;
  EXPECT_EQ(Narrow(description ? description : L""),
            expected.description + " " + Narrow(expected.version));
  // Wine's policy stores no rights.
  if (!wttest::RunningUnderWine() && expected.account == Settings().account) {
    EXPECT_TRUE(LocalServiceHolds(L"SeServiceLogonRight"));
  }
  EXPECT_TRUE(Exists(LinkDir() + L"WT Example Service Status.lnk"));
  const auto readme = linkforge::testing::ReadLink(LinkDir() + L"WT Example Readme.lnk");
  EXPECT_EQ(readme.target, InstallDir() + L"readme.txt");
  EXPECT_EQ(readme.workingDirectory, InstallDir());
  const std::string ini = ReadFile(InstallDir() + L"config\\service.ini");
  EXPECT_EQ(ini.find("BinaryPathName="), ini.rfind("BinaryPathName=")) << ini;
}

// No product, service, shortcut (or their folder), file or setting.
void ExpectNothingLeft() {
  EXPECT_FALSE(ProductInstalled());
  EXPECT_FALSE(wttest::ServiceExists(kService));
  EXPECT_FALSE(Exists(LinkDir())) << "the emptied shortcut folder stays";
  EXPECT_FALSE(Exists(InstallDir())) << "installed files stay";
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\WT Example", 0,
                          KEY_READ | KEY_WOW64_64KEY, &key),
            ERROR_SUCCESS);
  if (key) RegCloseKey(key);
}

// The service's start type, as an administrator sets it.
bool SetStartType(DWORD type) {
  wt::OwnedServiceHandle scm(::CloseServiceHandle, OpenSCManagerW(nullptr, nullptr, GENERIC_READ));
  wt::OwnedServiceHandle service(::CloseServiceHandle,
                                 OpenServiceW(scm.get(), kService, SERVICE_CHANGE_CONFIG));
  return ChangeServiceConfigW(service.get(), SERVICE_NO_CHANGE, type, SERVICE_NO_CHANGE, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) != FALSE;
}
DWORD StartType() {
  wt::OwnedServiceHandle scm(::CloseServiceHandle, OpenSCManagerW(nullptr, nullptr, GENERIC_READ));
  wt::OwnedServiceHandle service(::CloseServiceHandle,
                                 OpenServiceW(scm.get(), kService, SERVICE_QUERY_CONFIG));
  std::vector<BYTE> buffer(8192);
  DWORD needed = 0;
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  return QueryServiceConfigW(service.get(), config, 8192, &needed) ? config->dwStartType : ~0u;
}

class ExamplePackage : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitialize(nullptr);
    RemoveLeftovers();
  }
  void TearDown() override {
    RemoveLeftovers();
    CoUninitialize();
  }
  // Whatever an earlier run or a failed installation left (see the failure
  // case for what Wine's rollback leaves).
  static void RemoveLeftovers() {
    MoveFileExW((InstallDir() + L"config\\lnk-read.hidden").c_str(),
                (InstallDir() + L"config\\lnk-read.ini").c_str(), MOVEFILE_REPLACE_EXISTING);
    // What Wine's rollback of a failed removal leaves: the files, service
    // and shortcuts back, the product no longer registered. Installed anew
    // (without the service, which a first installation refuses) to go.
    if (!ProductInstalled() && Exists(InstallDir())) {
      wttest::RemoveServiceIfPresent(kService);
      Msiexec(L"/i " + Package(L"example-next"));
    }
    for (const auto& product : Products()) Msiexec(L"/x " + product);
    wttest::RemoveServiceIfPresent(kService);
  }
};

TEST_F(ExamplePackage, InstallsRepairsAndUninstallsLeavingNothing) {
  ASSERT_EQ(Msiexec(L"/i " + Package()), 0u);
  ExpectInstalled();

  // Installing the installed product again changes nothing.
  EXPECT_EQ(Msiexec(L"/i " + Package()), 0u);
  ExpectInstalled();

  // A repair brings back a deleted service and shortcut.
  ASSERT_TRUE(wttest::RemoveServiceIfPresent(kService));
  ASSERT_TRUE(DeleteFileW((LinkDir() + L"WT Example Readme.lnk").c_str()));
  EXPECT_EQ(Repair(), 0u);
  ExpectInstalled();

  const std::wstring product = Products().at(0);
  EXPECT_EQ(Msiexec(L"/x " + Package()), 0u);
  ExpectNothingLeft();
  // By product code: Wine's msiexec answers a package path with 0 here.
  EXPECT_EQ(Msiexec(L"/x " + product), kUnknownProduct);
}

TEST_F(ExamplePackage, AServiceThatCannotStartFailsTheInstallationAndTheLogSaysWhy) {
  // The sample service refuses unknown options and ends before it reports
  // to the service manager: the start fails and svclaunch exits with 4.
  std::string log;
  EXPECT_EQ(Msiexec(L"/i " + Package() + L" SERVICEOPTIONS=--cannot-start", &log), 1603u);
  // RunTool's lines: the tool's own words and its exit code.
  EXPECT_NE(log.find("LaunchService: Attempt to start service failed due to error "), log.npos);
  EXPECT_NE(log.find("LaunchService: svclaunch.exe exited with code 4, which is not a success "
                     "code (0)"),
            log.npos)
      << log;
  // A failed deferred action ends the script: Windows logs the failure as
  // InstallFinalize's (return value 3); Wine ends both with 0.
  EXPECT_TRUE(std::regex_search(
      log, std::regex(wttest::RunningUnderWine()
                          ? "Action ended [0-9:]+: LaunchService\\. Return value 0"
                          : "Action ended [0-9:]+: InstallFinalize\\. Return value 3")))
      << log;
  EXPECT_FALSE(ProductInstalled());
  EXPECT_FALSE(Exists(InstallDir()));
  EXPECT_FALSE(Exists(LinkDir()));
  // Windows rolls back in reverse: the rollback actions stop and remove the
  // service while the tools are still there. Wine removes the files first,
  // so its rollback cannot run them and the service stays behind (removed
  // by RemoveLeftovers).
  if (!wttest::RunningUnderWine()) {
    EXPECT_FALSE(wttest::ServiceExists(kService));
  }
}

// The password reaches acctmgr on its standard input only: no command line,
// no log. The account as a user principal name, which acctmgr logs on
// without a domain check: Windows has no such account (215, so 1603); Wine's
// logon takes any name and password, and its token cannot say whose it is,
// which fails the domain check of a Domain\User name (218).
TEST_F(ExamplePackage, APasswordCheckLeavesNoTraceOfThePasswordInTheLog) {
  const std::string password = "Pw-" + Narrow(wttest::UniqueName(L"x"));
  std::string log;
  const DWORD code = Msiexec(L"/i " + Package() + L" SERVICEACCOUNT=svc_wtexample@wt.example" +
                                 L" SERVICEPASSWORD=" + wttest::Widen(password),
                             &log);
  EXPECT_EQ(code, wttest::RunningUnderWine() ? 0u : 1603u);
  EXPECT_NE(log.find("CheckServicePassword: running \"" + Narrow(InstallDir()) +
                     "tools\\acctmgr.exe\" -cupw \"-usvc_wtexample@wt.example\" -s"),
            log.npos)
      << log;
  EXPECT_NE(log.find(wttest::RunningUnderWine()
                         ? "CheckServicePassword: acctmgr.exe exited with code 0"
                         : "CheckServicePassword: acctmgr.exe exited with code 215"),
            log.npos);
  EXPECT_EQ(log.find(password), log.npos) << log;
}

TEST_F(ExamplePackage, MaintenanceKeepsTheSettingsAndLeavesADisabledServiceDisabled) {
  std::string log;
  ASSERT_EQ(Msiexec(L"/i " + Package() + kCustom), 0u);
  ExpectInstalled(Custom());

  // A repair runs with the remembered settings, not the defaults.
  EXPECT_EQ(Repair(), 0u);
  ExpectInstalled(Custom());

  // A repair leaves a service an administrator disabled stopped, disabled.
  ASSERT_TRUE(SetStartType(SERVICE_DISABLED));
  EXPECT_EQ(Repair(&log), 0u) << log;
  Settings disabled = Custom();
  disabled.state = SERVICE_STOPPED;
  ExpectInstalled(disabled);
  EXPECT_EQ(StartType(), static_cast<DWORD>(SERVICE_DISABLED));
}

TEST_F(ExamplePackage, UpgradeKeepsTheServiceAndAFailedRemovalPutsItBack) {
  ASSERT_EQ(Msiexec(L"/i " + Package() + kCustom), 0u);
  ASSERT_TRUE(SetStartType(SERVICE_AUTO_START));  // an administrator's choice

  std::string log;
  EXPECT_EQ(Msiexec(L"/i " + Package(L"example-next"), &log), 0u) << log;
  Settings next = Custom();
  next.version = WT_NEXT_VERSION;
  ExpectInstalled(next);
  EXPECT_EQ(Products().size(), 1u);
  // Windows removes the earlier version with UPGRADINGPRODUCTCODE set: its
  // service stays as it was. Wine's removal lacks it and takes the service,
  // which the new version defines again (demand start).
  if (!wttest::RunningUnderWine()) {
    EXPECT_EQ(StartType(), static_cast<DWORD>(SERVICE_AUTO_START));
  }

  // A removal that fails after the service and a shortcut went (the
  // readme shortcut's INI file is gone: linkforge -2) is rolled back: the
  // service is defined, described and started again, the shortcut made.
  const std::wstring ini = InstallDir() + L"config\\lnk-read.ini";
  ASSERT_TRUE(MoveFileW(ini.c_str(), (InstallDir() + L"config\\lnk-read.hidden").c_str()));
  EXPECT_EQ(Msiexec(L"/x " + Package(L"example-next"), &log), 1603u);
  EXPECT_NE(log.find("DeleteReadmeLink: linkforge.exe exited with code 4294967294"), log.npos);
  ExpectInstalled(next);
  // Wine's rollback does not register the product again (RemoveLeftovers).
  if (!wttest::RunningUnderWine()) {
    EXPECT_EQ(Products().size(), 1u);
  }

  RemoveLeftovers();
  ExpectNothingLeft();
}

}  // namespace
