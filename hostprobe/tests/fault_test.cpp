// Every platform and JNI call of libHostProbe's methods made to fail in turn:
// against the scripted platform, and for the version, name and file methods
// against the real functions. Each run must end with a result the page lists
// for that method, hand every Java string's characters back, close every
// handle it opened, and copy, delete or move exactly when the page says so.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <optional>

#include "e2e_support.h"
#include "fake_platform.h"
#include "operations.h"
#include "wttest/jnifault.h"
#include "wttest/platform.h"

namespace {

using hostprobe::Platform;
using hostprobe_test::FakePlatform;
using wttest::fault::Counted;
using wttest::fault::FailedOneOf;
using wttest::fault::Fails;
using wttest::fault::Page;

// The functions found with GetProcAddress count and fail like entries.
struct NativeInfoKey {};
struct ProductInfoKey {};
struct IsWow64Key {};
struct DisableKey {};
struct RevertKey {};
FARPROC(WINAPI* g_lookup)(HMODULE, LPCSTR) = nullptr;

template <typename Key, typename Fn>
FARPROC CountedProc(FARPROC proc, const char* name) {
  auto fn = Counted<Key>(reinterpret_cast<Fn>(reinterpret_cast<void*>(proc)), name);
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(fn));
}

FARPROC WINAPI CountingLookup(HMODULE module, LPCSTR name) {
  const FARPROC p = g_lookup(module, name);
  const std::string n = name;
  if (n == "GetNativeSystemInfo")
    return CountedProc<NativeInfoKey, hostprobe::GetNativeSystemInfoFn>(p, name);
  if (n == "GetProductInfo")
    return CountedProc<ProductInfoKey, hostprobe::GetProductInfoFn>(p, name);
  if (n == "IsWow64Process") return CountedProc<IsWow64Key, hostprobe::IsWow64ProcessFn>(p, name);
  if (n == "Wow64DisableWow64FsRedirection")
    return CountedProc<DisableKey, hostprobe::Wow64DisableFn>(p, name);
  if (n == "Wow64RevertWow64FsRedirection")
    return CountedProc<RevertKey, hostprobe::Wow64RevertFn>(p, name);
  return p;
}

std::vector<std::string> g_log;

wttest::fault::FaultTable<Platform> Faults(Platform inner) {
  g_lookup = inner.GetProcAddress;
  inner.GetProcAddress = CountingLookup;
  inner.LogInfo = [](const char* key, const char* value) {
    g_log.push_back(std::string(key) + value);
  };
  inner.LogWarning = [](const char* key, const char*) { g_log.push_back(std::string("W ") + key); };
  wttest::fault::FaultTable<Platform> t(inner);
  WT_FAULT_ENTRIES(t, Platform, Fails::kByType, GetVersionExA, GetModuleHandleA, GetProcAddress,
                   GetEnv, GetSystemDirectoryA, GlobalMemoryStatusEx, GetComputerNameA, DeleteFileW,
                   GetShortPathNameW, AddFontResourceW, RemoveFontResourceW, PostMessageA,
                   OpenProcessToken, LookupPrivilegeValueA, AdjustTokenPrivileges, ExitWindowsEx)
  WT_FAULT_ENTRIES(t, Platform, Fails::kNever, GetSystemInfo, GetCurrentProcess, LogInfo,
                   LogWarning)
  t.Add<&Platform::GetLastError>("GetLastError", Fails::kLastError);
  t.Add<&Platform::CopyFileW>("CopyFileW", Fails::kByType, ERROR_DISK_FULL);
  t.Add<&Platform::MoveFileExW>("MoveFileExW", Fails::kByType, ERROR_DISK_FULL);
  t.Add<&Platform::CreateFileW>("CreateFileW", Fails::kInvalidHandle);
  t.Add<&Platform::SendMessageTimeoutA>("SendMessageTimeoutA", Fails::kZero);
  t.AddRelease<&Platform::CloseHandle>("CloseHandle");
  return t;
}

// A method called with the paths a and b; its result as text.
using Call = std::function<std::string(const Platform&, wttest::JniHost&, const std::wstring& a,
                                       const std::wstring& b)>;

std::string Text(wttest::JniHost& h, jstring s) {
  return s ? wttest::Narrow(h.Text(s).value_or(L"?")) : "null";
}
template <jstring (*M)(const Platform&, JNIEnv*)>
std::string Str(const Platform& p, wttest::JniHost& h, const std::wstring&, const std::wstring&) {
  return Text(h, M(p, h.env()));
}
template <typename R, R (*M)(const Platform&)>
std::string Num(const Platform& p, wttest::JniHost&, const std::wstring&, const std::wstring&) {
  return std::to_string(M(p));
}
template <jint (*M)(const Platform&, JNIEnv*, jstring)>
std::string Path1(const Platform& p, wttest::JniHost& h, const std::wstring& a,
                  const std::wstring&) {
  return std::to_string(M(p, h.env(), h.NewJavaString(a)));
}
template <jint (*M)(const Platform&, JNIEnv*, jstring, jstring)>
std::string Path2(const Platform& p, wttest::JniHost& h, const std::wstring& a,
                  const std::wstring& b) {
  return std::to_string(M(p, h.env(), h.NewJavaString(a), h.NewJavaString(b)));
}
std::string Move(const Platform& p, wttest::JniHost& h, const std::wstring& a,
                 const std::wstring& b) {
  return std::to_string(
      hostprobe::MoveWithFlags(p, h.env(), h.NewJavaString(a), h.NewJavaString(b), 1));
}
std::string Short(const Platform& p, wttest::JniHost& h, const std::wstring& a,
                  const std::wstring&) {
  return Text(h, hostprobe::GetShortPath(p, h.env(), h.NewJavaString(a)));
}

DWORD ShortName(LPCWSTR, LPWSTR buffer, DWORD size) {
  const std::wstring name = L"C:\\PROGRA~1\\A.TXT";
  if (size <= name.size()) return static_cast<DWORD>(name.size() + 1);
  std::wmemcpy(buffer, name.c_str(), name.size() + 1);
  return static_cast<DWORD>(name.size());
}

bool EightNumbers(const std::string& r) { return std::count(r.begin(), r.end(), '.') == 7; }
bool AnyCode(const std::string& r) { return r.rfind("W32_", 0) == 0 || r.rfind("X64_", 0) == 0; }

// What the machine answers, asked another way: the clean results against the
// real functions.
std::wstring g_longPath;
bool SystemFolder(const std::string& r) {
  char d[MAX_PATH];
  return r == std::string(d, GetSystemDirectoryA(d, MAX_PATH));
}
bool PhysicalMemory(const std::string& r) {
  MEMORYSTATUSEX m = {};
  m.dwLength = sizeof m;
  return GlobalMemoryStatusEx(&m) && r == std::to_string(m.ullTotalPhys);
}
bool ComputerName(const std::string& r) {
  char n[MAX_COMPUTERNAME_LENGTH + 1];
  DWORD size = sizeof n;
  return GetComputerNameA(n, &size) && r == n;
}
bool ShortPath(const std::string& r) {
  wchar_t s[MAX_PATH];
  const DWORD n = GetShortPathNameW(g_longPath.c_str(), s, MAX_PATH);
  return n && r == wttest::Narrow(std::wstring(s, n));
}

// A 32-bit process copies and deletes with redirection off: whether it runs
// under WOW64 (GetModuleHandleA, GetProcAddress and IsWow64Process #1), then
// the switch (#2, Wow64DisableWow64FsRedirection) and its revert
// (GetProcAddress#3). Where the question or a lookup fails, nothing is done
// and the result is 1; a missing revert function keeps the action's 1.
constexpr bool kX64 = sizeof(void*) == 8;
const std::vector<std::string> kRedirection =
    kX64 ? std::vector<std::string>{}
         : std::vector<std::string>{"GetModuleHandleA#1-2", "GetProcAddress#1-3", "IsWow64Process"};
// The lookups of the native facts fall back to what the process sees (the
// same architecture in a 64-bit process; the fake's process sees x86).
const std::vector<std::string> kLookups = {"GetModuleHandleA", "GetProcAddress#1"};

using wttest::fault::Result;
struct Method {
  const char* name;
  Call call;
  std::function<void(FakePlatform&)> script;
  Page page;
  std::optional<Result> real = std::nullopt;  // the clean result against the real functions
};

const Method kMethods[] = {
    {"GetHostProbeVersion",
     Str<hostprobe::GetHostProbeVersion>,
     nullptr,
     {"X64_VSPRO",
      {"UNKNOWN", "null"},
      AnyCode,
      {{"GetVersionExA#1-2", {"UNKNOWN"}}, {"NewStringUTF", {"null"}}}},
     AnyCode},
    {"GetWinVerStr",
     Str<hostprobe::GetWinVerStr>,
     [](FakePlatform& f) { f.productInfo = 48; },
     {"6.1.1.0.256.1.9.48", {"null"}, EightNumbers, {{"NewStringUTF", {"null"}}}, kLookups},
     EightNumbers},
    {"isWow64",
     Num<jint, hostprobe::IsWow64>,
     [](FakePlatform& f) { f.wow64 = TRUE; },
     {"1", {"0"}}},
    {"getSysDr",
     Str<hostprobe::GetSysDr>,
     [](FakePlatform& f) { f.environment["SystemDrive"] = "C:"; },
     {"C:", {"null"}}},
    {"getSystemDirectory",
     Str<hostprobe::GetSystemDirectoryText>,
     nullptr,
     {"C:\\windows\\system32", {"null"}},
     SystemFolder},
    {"GetPhysicalMemory",
     Num<jlong, hostprobe::GetPhysicalMemory>,
     [](FakePlatform& f) { f.totalPhysical = 1ull << 34; },
     {"17179869184", {"0"}},
     PhysicalMemory},
    {"WinGetComputerName",
     Str<hostprobe::WinGetComputerName>,
     nullptr,
     {"BUILDHOST", {"null"}},
     ComputerName},
    {"Copy64NoRedirect",
     Path2<hostprobe::Copy64NoRedirect>,
     [](FakePlatform& f) { f.wow64 = TRUE; },
     {"1", {"0"}, nullptr, {}, kRedirection},
     "1"},
    {"Delete64NoRedirect",
     Path1<hostprobe::Delete64NoRedirect>,
     [](FakePlatform& f) { f.wow64 = TRUE; },
     {"1", {"0"}, nullptr, {}, kRedirection},
     "1"},
    {"MoveFileEx", Move, nullptr, {"1", {"0"}}, "1"},
    {"GetShortPath",
     Short,
     [](FakePlatform& f) { f.shortPathName = ShortName; },
     {"C:\\PROGRA~1\\A.TXT", {"null"}},
     ShortPath},
    // A path that cannot be converted counts as a null one: not locked.
    {"IsFileWriteLocked",
     Path1<hostprobe::IsFileWriteLocked>,
     [](FakePlatform& f) { f.createFileResult = reinterpret_cast<HANDLE>(0x6000); },
     {"0", {"1"}, nullptr, {{"CreateFileW", {"1"}}}, {"GetStringChars"}},
     "0"},
    // A failed removal ends the removals as "nothing more to remove"; the
    // font change is announced, and not looked at.
    {"registerFont",
     Path1<hostprobe::RegisterFont>,
     [](FakePlatform& f) { f.fontRegistrations = 2; },
     {"1", {"0"}, nullptr, {}, {"RemoveFontResourceW#1-3", "PostMessageA"}}},
    {"unregisterFont",
     Path1<hostprobe::UnregisterFont>,
     [](FakePlatform& f) { f.fontRegistrations = 2; },
     {"1", {"0"}, nullptr, {}, {"RemoveFontResourceW#1-3", "PostMessageA"}}},
    {"registerEnvironmentChange",
     Num<jint, hostprobe::RegisterEnvironmentChange>,
     nullptr,
     {"1", {"0"}}},
    {"SystemShutdown", Num<jint, hostprobe::SystemShutdown>, nullptr, {"1", {"0"}}},
};

// Copied, deleted or moved exactly when the result says so, but for a failed
// revert (done, 0) and redirection that could not be switched off (1, not done).
::testing::AssertionResult Acted(bool acted, const std::string& result) {
  const bool agrees = result == "1" ? acted || FailedOneOf(kRedirection)
                                    : !acted || FailedOneOf({"Wow64RevertWow64FsRedirection"});
  if (agrees) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << (acted ? "acted" : "did nothing") << " with " << result;
}

// One run of m: Java strings handed back, then the page's verdict.
::testing::AssertionResult Verdict(const Method& m, const Page& page, const Platform& p,
                                   const std::wstring& a, const std::wstring& b,
                                   const std::function<bool()>& acted) {
  g_log.clear();
  wttest::JniHost host;
  wttest::fault::CountJniCalls(host);
  const std::string result = m.call(Faults(p), host, a, b);
  if (host.OutstandingChars() != 0 || !host.Errors().empty())
    return ::testing::AssertionFailure() << "Java characters kept or misused";
  // SystemShutdown writes one warning for the step that failed.
  if (std::strcmp(m.name, "SystemShutdown") == 0 &&
      std::count_if(g_log.begin(), g_log.end(), [](auto& e) { return e[0] == 'W'; }) !=
          (result == "0" ? 1 : 0))
    return ::testing::AssertionFailure() << "warnings wrong";
  const bool changes = std::strstr("Copy64NoRedirect Delete64NoRedirect MoveFileEx", m.name);
  if (const auto agrees = Acted(acted(), result); changes && !agrees) return agrees;
  return wttest::fault::Judge(page, result);
}

TEST(HostProbeFaults, EveryCallOfEveryMethodFailsAsThePageSays) {
  wttest::fault::Tally tally("libHostProbe (scripted)");
  for (const Method& m : kMethods) {
    tally.Sweep(m.name, [&] {
      FakePlatform fake;
      if (m.script) m.script(fake);
      const auto verdict = Verdict(m, m.page, fake.table(), L"C:\\a", L"C:\\b", [&] {
        return fake.copies.size() + fake.deletes.size() + fake.moves.size() > 0;
      });
      if (!fake.AllClosed()) return ::testing::AssertionFailure() << "a handle left open";
      // Redirection is switched back, unless the revert failed or is missing.
      if (fake.redirectionOff && !FailedOneOf({"Wow64RevertWow64FsRedirection", "GetProcAddress"}))
        return ::testing::AssertionFailure() << "redirection left off";
      return verdict;
    });
  }
}

TEST(HostProbeFaults, RealFunctionsFailAsThePageSays) {
  using hostprobe_e2e::Exists;
  hostprobe_e2e::TempFolder dir;
  const std::wstring a = dir / L"a.txt", b = dir / L"b.txt";
  g_longPath = a;
  // What "redirection as it was" is in this thread, to mend a failed revert.
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  auto disable = reinterpret_cast<hostprobe::Wow64DisableFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "Wow64DisableWow64FsRedirection")));
  auto revert = reinterpret_cast<hostprobe::Wow64RevertFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "Wow64RevertWow64FsRedirection")));
  PVOID asItWas = nullptr;
  const bool canRevert = disable && revert && disable(&asItWas) && revert(asItWas);
  const auto prepare = [&] {
    DeleteFileW(b.c_str());
    hostprobe_e2e::WriteBytes(a, "a");
  };
  wttest::fault::Tally::Paths paths;
  for (const Method& m : kMethods) {
    if (!m.real) continue;
    // Once before counting: a first use may keep handles (a DLL, a key).
    prepare();
    wttest::JniHost host;
    wttest::fault::State().Reset(0);
    m.call(Faults(hostprobe::RealPlatform()), host, a, b);
    paths.emplace_back(m.name, [&] {
      prepare();
      Page page = m.page;
      page.clean = *m.real;
      const auto verdict = Verdict(m, page, hostprobe::RealPlatform(), a, b,
                                   [&] { return Exists(b) || !Exists(a); });
      if (canRevert) revert(asItWas);  // a failed or missing revert leaves it off
      return verdict;
    });
  }
  wttest::fault::Tally("libHostProbe (real functions)").SweepCountingHandles(paths);
}

}  // namespace
