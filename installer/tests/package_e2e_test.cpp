// The example package (installer/src/example.wxs) under the system's own
// msiexec: installed, installed again, repaired, removed twice, and made to
// fail once. The tools it runs as custom actions are judged by what they
// leave: the service with its description, account and state, the
// shortcuts, the files. What each tool prints is its own tests' business.
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

const wchar_t kProductCode[] = L"{95F5315F-6F5F-4251-973C-D77F9AC08299}";
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
std::wstring Package() {
  return L"\"" + wttest::BinaryDirectory() + L"..\\installer\\example.msi\"";
}
bool ProductInstalled() { return MsiQueryProductStateW(kProductCode) == INSTALLSTATE_DEFAULT; }

// A repair with the default file rules of msiexec /f. Wine's msiexec has no
// /f (it refuses a product code and gives 1605 for a package path), so
// there it takes the form /f stands for: REINSTALL=ALL with the same mode.
DWORD Repair() {
  return wttest::RunningUnderWine()
             ? Msiexec(L"/i " + Package() + L" REINSTALL=ALL REINSTALLMODE=omus")
             : Msiexec(L"/fomus " + Package());
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

// What an installed product has: its service running as the package made it
// (program path quoted, or Windows would try C:\Program.exe first), the
// right granted, both shortcuts pointing into the installation, and each INI
// entry written once.
void ExpectInstalled() {
  SERVICE_STATUS status;
  EXPECT_TRUE(wttest::WaitForServiceState(kService, SERVICE_RUNNING, 10000, &status))
      << "state " << status.dwCurrentState;
  wt::OwnedServiceHandle scm(::CloseServiceHandle, OpenSCManagerW(nullptr, nullptr, GENERIC_READ));
  wt::OwnedServiceHandle service(::CloseServiceHandle,
                                 OpenServiceW(scm.get(), kService, SERVICE_QUERY_CONFIG));
  std::vector<BYTE> buffer(8192);
  DWORD needed = 0;
  const auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  ASSERT_TRUE(QueryServiceConfigW(
      service.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data()), 8192, &needed));
  EXPECT_EQ(
      Narrow(config->lpBinaryPathName).rfind("\"" + Narrow(InstallDir()) + "examplesvc.exe\"", 0),
      0u)
      << Narrow(config->lpBinaryPathName);
  EXPECT_EQ(Narrow(config->lpServiceStartName), "NT AUTHORITY\\LocalService");
  ASSERT_TRUE(QueryServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, buffer.data(), 8192,
                                   &needed));
  const wchar_t* description =
      reinterpret_cast<SERVICE_DESCRIPTIONW*>(buffer.data())->lpDescription;
  EXPECT_EQ(Narrow(description ? description : L""),
            "Runs the background jobs of WT Example " + Narrow(WT_PROJECT_VERSION));
  // Wine's policy stores no rights.
  if (!wttest::RunningUnderWine()) {
    EXPECT_TRUE(LocalServiceHolds(L"SeServiceLogonRight"));
  }
  EXPECT_TRUE(Exists(LinkDir() + L"WT Example Service Status.lnk"));
  const auto readme = linkforge::testing::ReadLink(LinkDir() + L"WT Example Readme.lnk");
  EXPECT_EQ(readme.target, InstallDir() + L"readme.txt");
  EXPECT_EQ(readme.workingDirectory, InstallDir());
  const std::string ini = ReadFile(InstallDir() + L"config\\service.ini");
  EXPECT_EQ(ini.find("BinaryPathName="), ini.rfind("BinaryPathName=")) << ini;
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
    if (ProductInstalled()) Msiexec(std::wstring(L"/x ") + kProductCode);
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

  EXPECT_EQ(Msiexec(L"/x " + Package()), 0u);
  EXPECT_FALSE(ProductInstalled());
  EXPECT_FALSE(wttest::ServiceExists(kService));
  EXPECT_FALSE(Exists(LinkDir())) << "the emptied shortcut folder stays";
  EXPECT_FALSE(Exists(InstallDir())) << "installed files stay";
  // By product code: Wine's msiexec answers a package path with 0 here.
  EXPECT_EQ(Msiexec(std::wstring(L"/x ") + kProductCode), kUnknownProduct);
}

TEST_F(ExamplePackage, AServiceThatCannotStartFailsTheInstallation) {
  // The sample service refuses unknown options and ends before it reports
  // to the service manager: the start fails and svclaunch exits with 4.
  std::string log;
  const DWORD code = Msiexec(L"/i " + Package() + L" SERVICEOPTIONS=--cannot-start", &log);
  // ERROR_INSTALL_FAILURE; Wine's msiexec ends with 1627 instead.
  EXPECT_EQ(code, wttest::RunningUnderWine() ? 1627u : 1603u);
  // The action's end with a failure value (Windows logs 3, Wine 0).
  EXPECT_TRUE(std::regex_search(
      log, std::regex("Action ended [0-9:]+: LaunchService\\. Return value [02-9]")))
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

}  // namespace
