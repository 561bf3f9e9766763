// The real DLL in the JNI host: exports, host facts and the log on standard
// output. The x86 build runs under WOW64 on a 64-bit Windows, the x64 build
// natively; the expectations name which.
#include <regex>

#include "e2e_support.h"
#include "wttest/platform.h"
#include "wttest/process.h"

namespace hostprobe_e2e {
namespace {

constexpr bool kX86 = sizeof(void*) == 4;

bool NativeIsAmd64() {
  SYSTEM_INFO info{};
  GetNativeSystemInfo(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64;
}

TEST(Exports, ExactlyTheTwentyOneJniNames) {
  const char* const methods[] = {
      "GetHostProbeVersion", "GetWinVerStr",      "GetArchitectureWin", "isWow64",
      "getSysDr",            "getSystemDirectory", "GetCPULevelWin",    "GetCPUModelWin",
      "GetCPUSteppingWin",   "GetCPUNumWin",      "GetPhysicalMemory",  "WinGetComputerName",
      "Copy64NoRedirect",    "Delete64NoRedirect", "MoveFileEx",        "GetShortPath",
      "IsFileWriteLocked",   "registerFont",      "unregisterFont",     "registerEnvironmentChange",
      "SystemShutdown"};
  std::vector<std::string> expected;
  for (const char* m : methods)
    expected.push_back(std::string("Java_com_tev_tools_deployjni_hostprobe_HostProbeAPIDef_") + m);
  std::sort(expected.begin(), expected.end());
  std::vector<std::string> actual = Probe::Library().ExportNames();
  std::sort(actual.begin(), actual.end());
  EXPECT_EQ(actual, expected);
}

TEST_F(HostProbeTest, ArchitectureAnswersOfThisBuild) {
  if (!NativeIsAmd64()) GTEST_SKIP() << "expectations are for a 64-bit (AMD64) Windows";
  EXPECT_EQ(probe.Int("isWow64"), kX86 ? 1 : 0);
  EXPECT_EQ(probe.Int("GetArchitectureWin"), kX86 ? 0 : 9);
}

TEST_F(HostProbeTest, VersionCodeNamesTheNativeArchitecture) {
  if (!NativeIsAmd64()) GTEST_SKIP() << "expectations are for a 64-bit (AMD64) Windows";
  OSVERSIONINFOEXA v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&v)));
  const OptText code = probe.Text("GetHostProbeVersion");
  ASSERT_TRUE(code);
  // The same in the x86 and the x64 build: the native architecture decides.
  if (v.dwMajorVersion >= 6 && v.wProductType == VER_NT_WORKSTATION &&
      !(v.wSuiteMask & VER_SUITE_PERSONAL)) {
    EXPECT_EQ(*code, L"X64_VSPRO");
  } else {
    EXPECT_EQ(code->rfind(L"X64_", 0), 0u) << wttest::Narrow(*code);
  }
}

TEST_F(HostProbeTest, VersionDescriptionHoldsTheReportedNumbers) {
  OSVERSIONINFOEXA v{};
  v.dwOSVersionInfoSize = sizeof v;
  ASSERT_TRUE(GetVersionExA(reinterpret_cast<LPOSVERSIONINFOA>(&v)));
  SYSTEM_INFO native{};
  GetNativeSystemInfo(&native);
  const OptText text = probe.Text("GetWinVerStr");
  ASSERT_TRUE(text);
  const std::string s = wttest::Narrow(*text);
  std::smatch m;
  ASSERT_TRUE(std::regex_match(s, m, std::regex(R"((\d+)\.(\d+)\.(\d+)\.(\d+)\.(\d+)\.(\d+)\.(\d+)\.(-?\d+))")))
      << s;
  EXPECT_EQ(std::stoul(m[1]), v.dwMajorVersion);
  EXPECT_EQ(std::stoul(m[2]), v.dwMinorVersion);
  EXPECT_EQ(std::stoul(m[3]), v.wServicePackMajor);
  EXPECT_EQ(std::stoul(m[5]), v.wSuiteMask);
  EXPECT_EQ(std::stoul(m[6]), v.wProductType);
  EXPECT_EQ(std::stoul(m[7]), native.wProcessorArchitecture);
}

TEST_F(HostProbeTest, SystemFactsMatchWhatThisProcessIsTold) {
  SYSTEM_INFO info{};
  GetSystemInfo(&info);
  EXPECT_EQ(probe.Int("GetCPULevelWin"), info.wProcessorLevel);
  EXPECT_EQ(probe.Int("GetCPUModelWin"), info.wProcessorRevision >> 8);
  EXPECT_EQ(probe.Int("GetCPUSteppingWin"), info.wProcessorRevision & 0xFF);
  EXPECT_EQ(probe.Int("GetCPUNumWin"), static_cast<jint>(info.dwNumberOfProcessors));

  MEMORYSTATUSEX memory{};
  memory.dwLength = sizeof memory;
  ASSERT_TRUE(GlobalMemoryStatusEx(&memory));
  EXPECT_EQ(probe.Long("GetPhysicalMemory"), static_cast<jlong>(memory.ullTotalPhys));
  EXPECT_GT(probe.Long("GetPhysicalMemory"), 0);

  char name[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof name;
  ASSERT_TRUE(GetComputerNameA(name, &size));
  EXPECT_EQ(probe.Text("WinGetComputerName"), wttest::Widen(name));

  char directory[MAX_PATH];
  ASSERT_GT(GetSystemDirectoryA(directory, MAX_PATH), 0u);
  EXPECT_EQ(probe.Text("getSystemDirectory"), wttest::Widen(directory));

  const char* drive = std::getenv("SystemDrive");
  ASSERT_NE(drive, nullptr);
  EXPECT_EQ(probe.Text("getSysDr"), wttest::Widen(drive));
}

// The library's log goes to standard output: run the probe program as a
// process and read what it wrote (a file, not a console: the runtime's
// text mode writes each line feed as CR LF).
TEST(Log, EntryIsATimestampLineAndTheMessageLine) {
  SYSTEMTIME before{};
  GetLocalTime(&before);
  const std::wstring exe = wttest::BuiltProgram(L"probe_host.exe");
  const std::wstring dll = wttest::BinaryDirectory() + L"libHostProbe.dll";
  const Captured r = RunCapturingOutput(exe, {dll, L"GetWinVerStr"});
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0u) << r.out;
  std::smatch m;
  // Text mode: each line feed reaches the pipe as CR LF.
  ASSERT_TRUE(std::regex_match(
      r.out, m,
      std::regex("([A-Z][a-z]{2}) ([A-Z][a-z]{2}) (\\d\\d) \\d\\d:\\d\\d:\\d\\d (\\d{4})\r\n"
                 "INFO: GetWinVerStr::os=([-0-9.]+)\r\n"
                 "GetWinVerStr\\(\\) -> \"([-0-9.]+)\"\r\n")))
      << r.out;
  EXPECT_EQ(m[5], m[6]);
  static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  SYSTEMTIME after{};
  GetLocalTime(&after);
  if (before.wDay == after.wDay) {  // not across midnight
    EXPECT_EQ(m[1], kDays[after.wDayOfWeek]);
    EXPECT_EQ(m[2], kMonths[after.wMonth - 1]);
    EXPECT_EQ(std::stoi(m[3]), after.wDay);
    EXPECT_EQ(std::stoi(m[4]), after.wYear);
  }
}

TEST(Log, QuestionsOtherThanTheVersionDescriptionWriteNoEntry) {
  const std::wstring exe = wttest::BuiltProgram(L"probe_host.exe");
  const std::wstring dll = wttest::BinaryDirectory() + L"libHostProbe.dll";
  const Captured r = RunCapturingOutput(exe, {dll});
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0u) << r.out;
  // One answer line per question, one two-line entry (GetWinVerStr's).
  int lines = 0, entries = 0;
  for (size_t pos = 0; (pos = r.out.find("\r\n", pos)) != std::string::npos; pos += 2) ++lines;
  for (size_t pos = 0; (pos = r.out.find("INFO: ", pos)) != std::string::npos; ++pos) ++entries;
  EXPECT_EQ(entries, 1) << r.out;
  EXPECT_EQ(lines, 12 + 2) << r.out;
  EXPECT_EQ(r.out.find("WARNING:"), std::string::npos);
}

TEST(ProbeProgram, NeverCallsSystemShutdown) {
  const std::wstring exe = wttest::BuiltProgram(L"probe_host.exe");
  const std::wstring dll = wttest::BinaryDirectory() + L"libHostProbe.dll";
  const Captured r = RunCapturingOutput(exe, {dll, L"SystemShutdown"});
  EXPECT_EQ(r.exitCode, 2u);
  EXPECT_EQ(r.out, "SystemShutdown is not called: it would restart the machine\r\n");
}

}  // namespace
}  // namespace hostprobe_e2e
