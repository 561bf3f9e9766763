// The real svcdefine.exe against the real service control manager and
// registry. Effects are read back through other calls than the ones that
// made them (QueryServiceConfigW, the registry). Every service has a unique
// name and is removed before and after its test.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "temp_folder.h"
#include "wt/syserror.h"
#include "wt/owned.h"
#include "wttest/pe.h"
#include "wttest/platform.h"
#include "wttest/process.h"
#include "wttest/service.h"

namespace {

using svcdefine::testing::TempFolder;
using wttest::Narrow;
using wttest::ScopedServiceName;

// svcdefine is an x86 deliverable; this 64-bit test runs the one of the
// sibling x86 tree.
std::wstring SvcdefineProgram() { return wttest::ArchProgram(L"x86", L"svcdefine.exe"); }

class SvcdefineE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(GetFileAttributesW(SvcdefineProgram().c_str()), INVALID_FILE_ATTRIBUTES)
        << "build the x86 tree first (scripts/build): " << Narrow(SvcdefineProgram());
  }
};

wttest::ProcessResult RunSvcdefine(const std::vector<std::wstring>& args,
                                   const std::wstring& cwd = L"") {
  std::wstring line = L"svcdefine";
  for (const auto& a : args) line += L" " + wttest::QuoteArgument(a);
  wttest::ProcessOptions options;
  options.workingDirectory = cwd;
  return wttest::RunProcess(SvcdefineProgram(), line, options);
}

// Text as the program's text-mode stdout writes it: each "\n" as "\r\n".
std::string TextMode(const std::wstring& text) {
  std::string out;
  for (char c : Narrow(text)) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

std::string ProcessingLine(const std::wstring& path) {
  return TextMode(L"Processing INI file: " + path + L"\n");
}

std::string ErrorReport(const std::wstring& message, DWORD code) {
  return TextMode(message + L"\n" + wt::SystemMessageW(code));
}

struct Config {
  bool found = false;
  DWORD type = 0, start = 0, error = 0;
  std::wstring binary, display, account;
  std::wstring description;
  bool hasDescription = false;
};

Config ReadConfig(const std::wstring& name) {
  Config c;
  wt::Owned scm(::CloseServiceHandle, OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (!scm) return c;
  wt::Owned svc(::CloseServiceHandle, OpenServiceW(scm.get(), name.c_str(), SERVICE_QUERY_CONFIG));
  if (!svc) return c;
  DWORD needed = 0;
  QueryServiceConfigW(svc.get(), nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed + 16);
  auto* q = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  if (!QueryServiceConfigW(svc.get(), q, static_cast<DWORD>(buffer.size()), &needed)) return c;
  c.found = true;
  c.type = q->dwServiceType;
  c.start = q->dwStartType;
  c.error = q->dwErrorControl;
  c.binary = q->lpBinaryPathName ? q->lpBinaryPathName : L"";
  c.display = q->lpDisplayName ? q->lpDisplayName : L"";
  c.account = q->lpServiceStartName ? q->lpServiceStartName : L"";
  needed = 0;
  QueryServiceConfig2W(svc.get(), SERVICE_CONFIG_DESCRIPTION, nullptr, 0, &needed);
  std::vector<BYTE> d(needed + 16);
  auto* desc = reinterpret_cast<SERVICE_DESCRIPTIONW*>(d.data());
  if (QueryServiceConfig2W(svc.get(), SERVICE_CONFIG_DESCRIPTION, d.data(),
                           static_cast<DWORD>(d.size()), &needed) &&
      desc->lpDescription && *desc->lpDescription) {
    c.hasDescription = true;
    c.description = desc->lpDescription;
  }
  return c;
}

// A value of the service's key: type and raw bytes.
bool ReadServiceValue(const std::wstring& name, const wchar_t* value, DWORD* type,
                      std::vector<BYTE>* data) {
  wt::OwnedKey key(::RegCloseKey);
  const std::wstring path = L"SYSTEM\\CurrentControlSet\\Services\\" + name;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS) {
    return false;
  }
  DWORD bytes = 0;
  if (RegQueryValueExW(key.get(), value, nullptr, type, nullptr, &bytes) != ERROR_SUCCESS) {
    return false;
  }
  data->assign(bytes, 0);
  return RegQueryValueExW(key.get(), value, nullptr, type, data->data(), &bytes) == ERROR_SUCCESS;
}

bool ReadWorkDir(const std::wstring& name, DWORD* type, std::vector<BYTE>* data) {
  return ReadServiceValue(name, L"workdir", type, data);
}

// The dependencies as the manager recorded them (DependOnService). Read from
// the registry: Wine's QueryServiceConfigW always reports an empty list.
std::vector<std::wstring> RecordedDependencies(const std::wstring& name) {
  std::vector<std::wstring> names;
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!ReadServiceValue(name, L"DependOnService", &type, &data) || type != REG_MULTI_SZ) {
    return names;
  }
  data.resize(data.size() + 4, 0);
  for (auto* p = reinterpret_cast<const wchar_t*>(data.data()); *p; p += wcslen(p) + 1) {
    names.push_back(p);
  }
  return names;
}

// The test service's command line. With an option after the quoted program
// the value is not wholly enclosed in quotes, which the profile reader would
// strip.
std::wstring ServiceBinary() { return wttest::TestServiceCommandLine(L"--hint-ms 1000"); }

std::string Ini(const std::wstring& name, const std::string& lines) {
  return "[Service]\r\nServiceName=" + Narrow(name) + "\r\nBinaryPathName=" +
         Narrow(ServiceBinary()) + "\r\n" + lines;
}

TEST_F(SvcdefineE2E, IsA32BitConsoleProgramWithItsStringTableAndAdministratorManifest) {
  const auto pe = wttest::ReadPe(SvcdefineProgram());
  ASSERT_TRUE(pe.valid);
  EXPECT_EQ(pe.machine, IMAGE_FILE_MACHINE_I386);
  EXPECT_EQ(pe.subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
  for (const auto& dll : pe.imports) {
    bool system = false;
    for (const char* known : {"ADVAPI32.dll", "KERNEL32.dll", "msvcrt.dll", "USER32.dll"}) {
      system = system || CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, dll.c_str(), -1, known,
                                        -1) == CSTR_EQUAL;
    }
    EXPECT_TRUE(system) << dll;
  }
  auto has = [&pe](WORD type) {
    return std::find(pe.resourceTypes.begin(), pe.resourceTypes.end(), type) != pe.resourceTypes.end();
  };
  EXPECT_TRUE(has(6));   // RT_STRING
  EXPECT_TRUE(has(24));  // RT_MANIFEST

  HMODULE module = LoadLibraryExW(SvcdefineProgram().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(module, nullptr);
  // The string table in US English: block 901 / 16 + 1 holds the last text.
  EXPECT_NE(FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(901 / 16 + 1),
                            MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US)),
            nullptr);
  wchar_t text[2048] = {};
  EXPECT_EQ(std::wstring(text, LoadStringW(module, 507, text, 2048)), L"ERROR: StopService() failed.");
  std::string manifest;
  if (HRSRC res = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    const auto* bytes = static_cast<const char*>(LockResource(LoadResource(module, res)));
    if (bytes) manifest.assign(bytes, SizeofResource(module, res));
  }
  FreeLibrary(module);
  EXPECT_NE(manifest.find("level=\"requireAdministrator\" uiAccess=\"false\""), std::string::npos)
      << manifest;
}

TEST_F(SvcdefineE2E, CreatesTheServiceTheIniDescribesAndASecondRunChangesNothing) {
  ScopedServiceName svc(L"wtSvcdefA");
  TempFolder dir;
  const std::wstring workDir = L"C:\\Apps\\Example Dir";
  const auto ini = dir.Write(L"service.ini",
                             Ini(svc.name(),
                                 "DisplayName=" + Narrow(svc.name()) + " Display\r\n"
                                 "Description=Example service for the installer\r\n"
                                 "Dependencies=wtDepA| wt Dep B|\r\n"
                                 "StartType=SERVICE_DEMAND_START\r\n"
                                 "ErrorControl=SERVICE_ERROR_SEVERE\r\n"
                                 "AccessChgCfg=1\r\nAccessQryStatus=1\r\n"
                                 "WorkDir=" + Narrow(workDir) + "\r\n"));
  auto r = RunSvcdefine({ini});
  EXPECT_EQ(r.out, ProcessingLine(ini));
  EXPECT_EQ(r.err, "");
  ASSERT_EQ(r.exitCode, 0u);

  const Config c = ReadConfig(svc.name());
  ASSERT_TRUE(c.found);
  EXPECT_EQ(c.display, svc.name() + L" Display");
  EXPECT_EQ(c.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
  EXPECT_EQ(c.start, static_cast<DWORD>(SERVICE_DEMAND_START));
  EXPECT_EQ(c.error, static_cast<DWORD>(SERVICE_ERROR_SEVERE));
  EXPECT_EQ(c.binary, ServiceBinary());
  EXPECT_EQ(RecordedDependencies(svc.name()), (std::vector<std::wstring>{L"wtDepA", L" wt Dep B"}));
  EXPECT_EQ(c.account, L"LocalSystem");
  EXPECT_EQ(c.description, L"Example service for the installer");
  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(ReadWorkDir(svc.name(), &type, &data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  ASSERT_EQ(data.size(), (workDir.size() + 1) * sizeof(wchar_t)) << "terminator counted";
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), workDir);

  // Same service name, everything else different: refused, nothing changed.
  const auto again = dir.Write(L"again.ini",
                               Ini(svc.name(),
                                   "DisplayName=Other display\r\nDescription=Other\r\n"
                                   "StartType=SERVICE_DISABLED\r\nAccessChgCfg=1\r\n"
                                   "WorkDir=C:\\Elsewhere\r\n"));
  r = RunSvcdefine({again});
  EXPECT_EQ(r.exitCode, 502u);
  EXPECT_EQ(r.out, ProcessingLine(again) +
                       ErrorReport(L"ERROR: CreateService() failed.", ERROR_SERVICE_EXISTS));
  const Config after = ReadConfig(svc.name());
  EXPECT_EQ(after.display, c.display);
  EXPECT_EQ(after.start, c.start);
  EXPECT_EQ(after.description, c.description);
  ASSERT_TRUE(ReadWorkDir(svc.name(), &type, &data));
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), workDir);
}

TEST_F(SvcdefineE2E, AbsentErrorControlIsIgnoreAndInteractiveTwoSetsTheFlag) {
  ScopedServiceName svc(L"wtSvcdefB");
  TempFolder dir;
  const auto ini = dir.Write(L"b.ini", Ini(svc.name(),
                                           "DisplayName=" + Narrow(svc.name()) + "\r\n"
                                           "StartType=SERVICE_DISABLED\r\nInteractive=2\r\n"));
  auto r = RunSvcdefine({ini});
  ASSERT_EQ(r.exitCode, 0u) << r.out;
  const Config c = ReadConfig(svc.name());
  EXPECT_EQ(c.error, static_cast<DWORD>(SERVICE_ERROR_IGNORE));
  EXPECT_EQ(c.type, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS));
  EXPECT_EQ(c.start, static_cast<DWORD>(SERVICE_DISABLED));
  EXPECT_FALSE(c.hasDescription);
  DWORD type = 0;
  std::vector<BYTE> data;
  EXPECT_FALSE(ReadWorkDir(svc.name(), &type, &data)) << "no WorkDir, no value";
}

TEST_F(SvcdefineE2E, DescriptionWithoutChangeConfigRightGives503AndTheServiceStays) {
  ScopedServiceName svc(L"wtSvcdefC");
  TempFolder dir;
  const auto ini = dir.Write(L"c.ini", Ini(svc.name(),
                                           "DisplayName=" + Narrow(svc.name()) + "\r\n"
                                           "Description=Needs AccessChgCfg\r\n"
                                           "StartType=SERVICE_DEMAND_START\r\n"
                                           "AccessQryStatus=1\r\nAccessStart=1\r\n"
                                           "WorkDir=C:\\NotWritten\r\n"));
  auto r = RunSvcdefine({ini});
  EXPECT_EQ(r.exitCode, 503u);
  EXPECT_EQ(r.out, ProcessingLine(ini) + ErrorReport(L"ERROR: ChangeServiceConfig() failed.",
                                                     ERROR_ACCESS_DENIED));
  const Config c = ReadConfig(svc.name());
  EXPECT_TRUE(c.found);
  EXPECT_FALSE(c.hasDescription);
  DWORD type = 0;
  std::vector<BYTE> data;
  EXPECT_FALSE(ReadWorkDir(svc.name(), &type, &data));
}

// The platform's profile reader looks a bare file name up in the Windows
// directory; the path is made absolute first, so the file next to the
// caller is the one read.
TEST_F(SvcdefineE2E, BareFileNameReadsTheFileInTheCurrentDirectory) {
  ScopedServiceName svc(L"wtSvcdefD");
  TempFolder dir;
  dir.Write(L"service.ini", Ini(svc.name(), "DisplayName=" + Narrow(svc.name()) +
                                                "\r\nStartType=SERVICE_DEMAND_START\r\n"));
  auto r = RunSvcdefine({L"service.ini"}, dir.path());
  EXPECT_EQ(r.out, ProcessingLine(L"service.ini"));
  EXPECT_EQ(r.exitCode, 0u);
  EXPECT_TRUE(ReadConfig(svc.name()).found);
}

TEST_F(SvcdefineE2E, EncodedFilesReadAsThePlatformReaderReadsThem) {
  // UTF-16LE with its byte-order mark is read as Unicode: names outside
  // ASCII arrive intact.
  {
    ScopedServiceName svc(L"wtSvcdefE\u00e9\u4e2d");
    TempFolder dir;
    const auto ini = dir.WriteUtf16(
        L"d\u00e9finition \u4e2d.ini", L"[Service]\r\nServiceName=" + svc.name() + L"\r\nDisplayName=" + svc.name() +
                        L" \u00c4rger\r\nBinaryPathName=" + ServiceBinary() +
                        L"\r\nStartType=SERVICE_DEMAND_START\r\n");
    auto r = RunSvcdefine({ini});
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    const Config c = ReadConfig(svc.name());
    ASSERT_TRUE(c.found);
    EXPECT_EQ(c.display, svc.name() + L" \u00c4rger");
  }
  // UTF-8 with a byte-order mark: ASCII content reads the same whether the
  // reader honours the mark or takes it for text on the (comment) first line.
  {
    ScopedServiceName svc(L"wtSvcdefF");
    TempFolder dir;
    const auto ini = dir.Write(L"u8.ini", "\xEF\xBB\xBF; service definition\r\n" +
                                              Ini(svc.name(), "DisplayName=" + Narrow(svc.name()) +
                                                                  "\r\nStartType=SERVICE_DEMAND_START\r\n"));
    auto r = RunSvcdefine({ini});
    EXPECT_EQ(r.exitCode, 0u) << r.out;
    EXPECT_TRUE(ReadConfig(svc.name()).found);
  }
}

TEST_F(SvcdefineE2E, BadInputFailsCleanlyAndCreatesNothing) {
  ScopedServiceName svc(L"wtSvcdefG");
  TempFolder dir;
  struct Case {
    const char* what;
    std::wstring path;
    DWORD exitCode;
    std::string out;
  };
  const auto missingBoth = dir.Write(L"missing.ini", Ini(svc.name(), "Description=x\r\n"));
  const auto lowerCase = dir.Write(
      L"lower.ini", Ini(svc.name(), "DisplayName=x\r\nStartType=service_demand_start\r\n"));
  const auto longName = dir.Write(
      L"long.ini", "[Service]\r\nServiceName=" + std::string(300, 'n') +
                       "\r\nDisplayName=x\r\nBinaryPathName=x.exe\r\nStartType=SERVICE_DISABLED\r\n");
  const std::wstring nowhere = dir.path() + L"nowhere.ini";
  const std::wstring folder = dir.path().substr(0, dir.path().size() - 1);
  const Case cases[] = {
      {"no such file", nowhere, 101,
       ProcessingLine(nowhere) + ErrorReport(L"ERROR: INI file not found.", ERROR_FILE_NOT_FOUND)},
      // An existing entry, but no INI file.
      {"a folder", folder, 101,
       ProcessingLine(folder) + ErrorReport(L"ERROR: INI file not found.", ERROR_FILE_NOT_FOUND)},
      {"no DisplayName and no StartType: only 202", missingBoth, 202,
       ProcessingLine(missingBoth) + TextMode(L"ERROR: DisplayName not found.\n")},
      {"lower-case keyword", lowerCase, 301,
       ProcessingLine(lowerCase) + TextMode(L"ERROR: Invalid StartType.\n")},
  };
  for (const auto& c : cases) {
    auto r = RunSvcdefine({c.path});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.what;
    EXPECT_EQ(r.out, c.out) << c.what;
  }
  // A name the manager refuses: 502 with the manager's code, nothing made.
  auto r = RunSvcdefine({longName});
  EXPECT_EQ(r.exitCode, 502u);
  EXPECT_EQ(r.out.find(ProcessingLine(longName) + TextMode(L"ERROR: CreateService() failed.\n")), 0u);
  EXPECT_GT(r.out.size(), ProcessingLine(longName).size() + 32) << "the system text follows";
  EXPECT_FALSE(wttest::ServiceExists(std::wstring(300, L'n')));
  EXPECT_FALSE(wttest::ServiceExists(svc.name()));
}

TEST_F(SvcdefineE2E, UsageFormsExitWithMinusOne) {
  const std::vector<std::vector<std::wstring>> forms = {{}, {L"a.ini", L"b.ini"},
                                                        {L"-remove", L"a", L"b"}};
  for (const auto& args : forms) {
    auto r = RunSvcdefine(args);
    EXPECT_EQ(r.exitCode, 0xFFFFFFFFu);
    EXPECT_EQ(r.out, "USAGE:\r\n  svcdefine <inifilepath>\r\n");
  }
  // "-remove" alone is an INI path.
  auto r = RunSvcdefine({L"-remove"});
  EXPECT_EQ(r.exitCode, 101u);
}

TEST_F(SvcdefineE2E, RemoveStopsARunningServiceAndDeletesIt) {
  ScopedServiceName svc(L"wtSvcdefH");
  ASSERT_EQ(wttest::CreateTestService(svc.name(), L"--stop-ms 300 --hint-ms 2000"), 0u);
  ASSERT_EQ(wttest::StartTestService(svc.name()), 0u);
  ASSERT_TRUE(wttest::WaitForServiceState(svc.name(), SERVICE_RUNNING, 20000));
  auto r = RunSvcdefine({L"-REMOVE", svc.name()});
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.exitCode, 0u);
  // Marked for deletion; the manager drops it once the last handle is gone.
  const DWORD begin = GetTickCount();
  while (wttest::ServiceExists(svc.name()) && GetTickCount() - begin < 10000) Sleep(50);
  EXPECT_FALSE(wttest::ServiceExists(svc.name()));
}

TEST_F(SvcdefineE2E, RemoveDeletesEvenWhenTheStopFailsOrIsSlow) {
  struct Case {
    const char* options;
    DWORD exitCode;
    std::string out;
  } cases[] = {
      {"--no-stop --exit-after-ms 4000", 506,
       ErrorReport(L"ERROR: ControlService() failed.", ERROR_INVALID_SERVICE_CONTROL)},
      // Still stop pending after 1 s plus its 500 ms wait hint.
      {"--stop-ms 5000 --hint-ms 500", 507, TextMode(L"ERROR: StopService() failed.\n")},
  };
  for (const auto& c : cases) {
    ScopedServiceName svc(L"wtSvcdefI");
    ASSERT_EQ(wttest::CreateTestService(svc.name(), wttest::Widen(c.options)), 0u);
    ASSERT_EQ(wttest::StartTestService(svc.name()), 0u);
    ASSERT_TRUE(wttest::WaitForServiceState(svc.name(), SERVICE_RUNNING, 20000));
    auto r = RunSvcdefine({L"-remove", svc.name()});
    EXPECT_EQ(r.exitCode, c.exitCode) << c.options;
    EXPECT_EQ(r.out, c.out) << c.options;
    // The deletion was requested: the service goes once its process ends.
    const DWORD begin = GetTickCount();
    while (wttest::ServiceExists(svc.name()) && GetTickCount() - begin < 20000) Sleep(100);
    EXPECT_FALSE(wttest::ServiceExists(svc.name())) << c.options;
  }
}

TEST_F(SvcdefineE2E, RemoveOfAnUnknownServiceGives504) {
  const std::wstring name = wttest::UniqueName(L"wtSvcdefNone");
  auto r = RunSvcdefine({L"-remove", name});
  EXPECT_EQ(r.exitCode, 504u);
  EXPECT_EQ(r.out, ErrorReport(L"ERROR: OpenService() failed.", ERROR_SERVICE_DOES_NOT_EXIST));
}

}  // namespace
