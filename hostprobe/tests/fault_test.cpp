// Every platform and JNI call of libHostProbe's methods made to fail in turn:
// against the scripted platform, and for the version, name and file methods
// against the real functions. Each run must end with a result the page lists
// for that method, hand every Java string's characters back and close every
// handle it opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>

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
using wttest::fault::State;

// Keys of the functions found with GetProcAddress.
struct NativeInfoKey {};
struct ProductInfoKey {};
struct IsWow64Key {};
struct DisableKey {};
struct RevertKey {};

FARPROC(WINAPI* g_lookup)(HMODULE, LPCSTR) = nullptr;

template <typename Key, typename Fn>
FARPROC CountedProc(FARPROC proc, const char* name) {
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(Counted<Key>(fn, name)));
}

// The inner table's lookup: what it finds is counted and failed like an entry.
FARPROC WINAPI CountingLookup(HMODULE module, LPCSTR name) {
  FARPROC proc = g_lookup(module, name);
  const std::string n = name;
  if (n == "GetNativeSystemInfo")
    return CountedProc<NativeInfoKey, hostprobe::GetNativeSystemInfoFn>(proc, name);
  if (n == "GetProductInfo")
    return CountedProc<ProductInfoKey, hostprobe::GetProductInfoFn>(proc, name);
  if (n == "IsWow64Process")
    return CountedProc<IsWow64Key, hostprobe::IsWow64ProcessFn>(proc, name);
  if (n == "Wow64DisableWow64FsRedirection")
    return CountedProc<DisableKey, hostprobe::Wow64DisableFn>(proc, name);
  if (n == "Wow64RevertWow64FsRedirection")
    return CountedProc<RevertKey, hostprobe::Wow64RevertFn>(proc, name);
  return proc;
}

wttest::fault::FaultTable<Platform> Faults(Platform inner) {
  g_lookup = inner.GetProcAddress;
  inner.GetProcAddress = CountingLookup;
  wttest::fault::FaultTable<Platform> t(inner);
  t.Add<&Platform::GetVersionExA>("GetVersionExA")
      .Add<&Platform::GetSystemInfo>("GetSystemInfo", Fails::kNever)
      .Add<&Platform::GetModuleHandleA>("GetModuleHandleA")
      .Add<&Platform::GetProcAddress>("GetProcAddress")
      .Add<&Platform::GetCurrentProcess>("GetCurrentProcess", Fails::kNever)
      .Add<&Platform::GetLastError>("GetLastError", Fails::kLastError)
      .Add<&Platform::GetEnv>("getenv")
      .Add<&Platform::GetSystemDirectoryA>("GetSystemDirectoryA")
      .Add<&Platform::GlobalMemoryStatusEx>("GlobalMemoryStatusEx")
      .Add<&Platform::GetComputerNameA>("GetComputerNameA")
      .Add<&Platform::CopyFileW>("CopyFileW", Fails::kByType, ERROR_DISK_FULL)
      .Add<&Platform::DeleteFileW>("DeleteFileW")
      .Add<&Platform::MoveFileExW>("MoveFileExW", Fails::kByType, ERROR_DISK_FULL)
      .Add<&Platform::GetShortPathNameW>("GetShortPathNameW")
      .Add<&Platform::CreateFileW>("CreateFileW", Fails::kInvalidHandle)
      .AddRelease<&Platform::CloseHandle>("CloseHandle")
      .Add<&Platform::AddFontResourceW>("AddFontResourceW")
      .Add<&Platform::RemoveFontResourceW>("RemoveFontResourceW")
      .Add<&Platform::PostMessageA>("PostMessageA")
      .Add<&Platform::SendMessageTimeoutA>("SendMessageTimeoutA", Fails::kZero)
      .Add<&Platform::OpenProcessToken>("OpenProcessToken")
      .Add<&Platform::LookupPrivilegeValueA>("LookupPrivilegeValueA")
      .Add<&Platform::AdjustTokenPrivileges>("AdjustTokenPrivileges")
      .Add<&Platform::ExitWindowsEx>("ExitWindowsEx")
      .Add<&Platform::LogInfo>("LogInfo", Fails::kNever)
      .Add<&Platform::LogWarning>("LogWarning", Fails::kNever);
  return t;
}

// A method's result as text: "1", "0", a number, the string, or "null".
using Call = std::function<std::string(const Platform&, wttest::JniHost&)>;

std::string Text(wttest::JniHost& host, jstring s) {
  if (!s) return "null";
  return wttest::Narrow(host.Text(s).value_or(L"(no string)"));
}

Call Strings(jstring (*method)(const Platform&, JNIEnv*)) {
  return [method](const Platform& p, wttest::JniHost& h) { return Text(h, method(p, h.env())); };
}

Call Paths(const wchar_t* a, const wchar_t* b,
           jint (*method)(const Platform&, JNIEnv*, jstring, jstring)) {
  return [=](const Platform& p, wttest::JniHost& h) {
    return std::to_string(method(p, h.env(), h.NewJavaString(a), h.NewJavaString(b)));
  };
}

Call Path1(const wchar_t* a, jint (*method)(const Platform&, JNIEnv*, jstring)) {
  return [=](const Platform& p, wttest::JniHost& h) {
    return std::to_string(method(p, h.env(), h.NewJavaString(a)));
  };
}

struct Method {
  const char* name;
  Call call;
  std::function<void(FakePlatform&)> script;
  std::string clean;
  std::set<std::string> failures;  // what the page lists besides the clean result
  // Calls whose failure may leave the clean result: the page or the
  // method's rules say it is passed over.
  std::vector<const char*> passedOver;
};

void Wow64(FakePlatform& f) { f.wow64 = TRUE; }

DWORD ShortName(LPCWSTR, LPWSTR buffer, DWORD size) {
  static const wchar_t kShort[] = L"C:\\PROGRA~1\\A.TXT";
  const DWORD length = static_cast<DWORD>(std::wcslen(kShort));
  if (size <= length) return length + 1;
  std::wmemcpy(buffer, kShort, length + 1);
  return length;
}

// Copy and delete: 1 without the action is the page's answer where
// redirection cannot be switched off; a failed revert keeps the action's 1
// only when the revert function is missing.
const std::vector<const char*> kRedirectionSteps = {"GetModuleHandleA", "GetProcAddress",
                                                    "IsWow64Process"};

const Method kMethods[] = {
    {"GetHostProbeVersion",
     Strings(hostprobe::GetHostProbeVersion),
     nullptr,
     "X64_VSPRO",
     {"UNKNOWN", "W32_VSPRO", "null"},
     {}},
    {"GetWinVerStr",
     Strings(hostprobe::GetWinVerStr),
     [](FakePlatform& f) { f.productInfo = 48; },
     "6.1.1.0.256.1.9.48",
     {"6.1.0.0.0.0.9.0", "6.1.1.0.256.1.0.0", "6.1.1.0.256.1.0.48", "6.1.1.0.256.1.9.0", "null"},
     {}},
    {"isWow64",
     [](const Platform& p, wttest::JniHost&) { return std::to_string(hostprobe::IsWow64(p)); },
     Wow64,
     "1",
     {"0"},
     {}},
    {"getSysDr",
     Strings(hostprobe::GetSysDr),
     [](FakePlatform& f) { f.environment["SystemDrive"] = "C:"; },
     "C:",
     {"null"},
     {}},
    {"getSystemDirectory",
     Strings(hostprobe::GetSystemDirectoryText),
     nullptr,
     "C:\\windows\\system32",
     {"null"},
     {}},
    {"GetPhysicalMemory",
     [](const Platform& p, wttest::JniHost&) {
       return std::to_string(hostprobe::GetPhysicalMemory(p));
     },
     [](FakePlatform& f) { f.totalPhysical = 17179869184ull; },
     "17179869184",
     {"0"},
     {}},
    {"WinGetComputerName",
     Strings(hostprobe::WinGetComputerName),
     nullptr,
     "BUILDHOST",
     {"null"},
     {}},
    {"Copy64NoRedirect",
     Paths(L"C:\\a.dll", L"C:\\b.dll", hostprobe::Copy64NoRedirect),
     Wow64,
     "1",
     {"0"},
     kRedirectionSteps},
    {"Delete64NoRedirect",
     Path1(L"C:\\a.dll", hostprobe::Delete64NoRedirect),
     Wow64,
     "1",
     {"0"},
     kRedirectionSteps},
    {"MoveFileEx",
     [](const Platform& p, wttest::JniHost& h) {
       return std::to_string(hostprobe::MoveWithFlags(p, h.env(), h.NewJavaString(L"C:\\a"),
                                                      h.NewJavaString(L"C:\\b"), 1));
     },
     nullptr,
     "1",
     {"0"},
     {}},
    {"GetShortPath",
     [](const Platform& p, wttest::JniHost& h) {
       return Text(
           h, hostprobe::GetShortPath(p, h.env(), h.NewJavaString(L"C:\\Program Files\\a.txt")));
     },
     [](FakePlatform& f) { f.shortPathName = ShortName; },
     "C:\\PROGRA~1\\A.TXT",
     {"null"},
     {}},
    // A path that cannot be converted counts as a null one: not locked.
    {"IsFileWriteLocked",
     Path1(L"C:\\a.txt", hostprobe::IsFileWriteLocked),
     [](FakePlatform& f) { f.createFileResult = reinterpret_cast<HANDLE>(0x6000); },
     "0",
     {"1"},
     {"CloseHandle", "GetStringChars"}},
    // A failed removal ends the removals as "nothing more to remove".
    {"registerFont",
     Path1(L"C:\\f.ttf", hostprobe::RegisterFont),
     [](FakePlatform& f) { f.fontRegistrations = 2; },
     "1",
     {"0"},
     {"RemoveFontResourceW", "PostMessageA"}},
    {"unregisterFont",
     Path1(L"C:\\f.ttf", hostprobe::UnregisterFont),
     [](FakePlatform& f) { f.fontRegistrations = 2; },
     "1",
     {"0"},
     {"RemoveFontResourceW", "PostMessageA"}},
    {"registerEnvironmentChange",
     [](const Platform& p, wttest::JniHost&) {
       return std::to_string(hostprobe::RegisterEnvironmentChange(p));
     },
     nullptr,
     "1",
     {"0"},
     {}},
    {"SystemShutdown",
     [](const Platform& p, wttest::JniHost&) {
       return std::to_string(hostprobe::SystemShutdown(p));
     },
     nullptr,
     "1",
     {"0"},
     {"CloseHandle"}},
};

::testing::AssertionResult Verdict(const Method& m, const std::string& result,
                                   wttest::JniHost& host) {
  if (host.OutstandingChars() != 0 || !host.Errors().empty())
    return ::testing::AssertionFailure() << "Java characters kept or misused";
  if (!State().failed) {
    if (result == m.clean) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "clean run gave " << result;
  }
  if (result == m.clean && !FailedOneOf(m.passedOver))
    return ::testing::AssertionFailure() << "ended as if nothing had failed: " << result;
  if (result != m.clean && m.failures.count(result) == 0)
    return ::testing::AssertionFailure() << "result " << result << " is not on the page";
  if (FailedOneOf({"GetVersionExA"}) && std::strcmp(m.name, "GetHostProbeVersion") == 0 &&
      result != "UNKNOWN")
    return ::testing::AssertionFailure() << "a failed version query gave " << result;
  return ::testing::AssertionSuccess();
}

TEST(HostProbeFaults, EveryCallOfEveryMethodFailsAsThePageSays) {
  wttest::fault::Tally tally("libHostProbe (scripted)");
  for (const Method& m : kMethods) {
    tally.Sweep(m.name, [&] {
      FakePlatform fake;
      if (m.script) m.script(fake);
      wttest::JniHost host;
      wttest::fault::CountJniCalls(host);
      const auto faults = Faults(fake.table());
      if (!faults.Complete()) return ::testing::AssertionFailure() << "entries missing";
      const std::string result = m.call(faults, host);
      if (!fake.AllClosed()) return ::testing::AssertionFailure() << "a handle left open";
      // Redirection is switched back, unless the revert itself failed.
      if (fake.redirectionOff && !FailedOneOf({"Wow64RevertWow64FsRedirection", "GetProcAddress"}))
        return ::testing::AssertionFailure() << "redirection left off";
      // An action that happened despite a 0 is the failed revert's.
      if (result == "0" && (fake.copies.size() + fake.deletes.size()) > 0 &&
          !FailedOneOf({"Wow64RevertWow64FsRedirection"}))
        return ::testing::AssertionFailure() << "acted but reported 0";
      // SystemShutdown: one warning per failed step, none for success.
      const size_t warnings = std::count_if(fake.log.begin(), fake.log.end(),
                                            [](auto& e) { return e.rfind("WARNING:", 0) == 0; });
      if (std::strcmp(m.name, "SystemShutdown") == 0 && warnings != (result == "0" ? 1u : 0u))
        return ::testing::AssertionFailure() << warnings << " warnings";
      return Verdict(m, result, host);
    });
  }
}

// The real functions, on files of a folder of its own. The log entries go to
// a list instead of standard output.
std::vector<std::string> g_log;
void Log(const char* key, const char*) { g_log.push_back(key); }

struct RealMethod {
  const char* name;
  std::function<void()> prepare;  // the files as the call expects them
  Call call;
  std::function<bool(const std::string& result)> allowed;  // besides the clean result
  // The files afterwards agree with the result (and the call that failed).
  std::function<bool(const std::string& result)> effect;
  std::vector<const char*> passedOver;
};

bool IsNull(const std::string& r) { return r == "null"; }
bool IsZero(const std::string& r) { return r == "0"; }

TEST(HostProbeFaults, RealFunctionsFailAsThePageSays) {
  using hostprobe_e2e::Exists;
  using hostprobe_e2e::WriteBytes;
  hostprobe_e2e::TempFolder dir;
  const std::wstring a = dir / L"a.txt", b = dir / L"b.txt";
  auto only = [&](bool hasA, bool hasB) {
    DeleteFileW(a.c_str());
    DeleteFileW(b.c_str());
    if (hasA) WriteBytes(a, "a");
    if (hasB) WriteBytes(b, "b");
  };
  // What "redirection as it was" is in this thread, to mend a failed revert.
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  auto disable = reinterpret_cast<hostprobe::Wow64DisableFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "Wow64DisableWow64FsRedirection")));
  auto revert = reinterpret_cast<hostprobe::Wow64RevertFn>(
      reinterpret_cast<void*>(GetProcAddress(kernel32, "Wow64RevertWow64FsRedirection")));
  PVOID asItWas = nullptr;
  const bool canRevert = disable && revert && disable(&asItWas) && revert(asItWas);

  const auto version = [](const std::string& r) {
    return r == "null" || std::count(r.begin(), r.end(), '.') == 7;
  };
  const auto code = [](const std::string& r) {
    return r == "null" || r == "UNKNOWN" || r.rfind("W32_", 0) == 0;
  };
  // Copied, deleted or moved exactly when the result says so, or where the
  // failed revert left the action done (0) or no redirection could be
  // switched off (1, nothing done).
  const auto acted = [](bool did, const std::string& r) {
    if (r == "1") return did || FailedOneOf(kRedirectionSteps);
    return !did || FailedOneOf({"Wow64RevertWow64FsRedirection"});
  };
  const RealMethod methods[] = {
      // Without the native query a 64-bit process sees the same architecture.
      {"GetHostProbeVersion",
       nullptr,
       Strings(hostprobe::GetHostProbeVersion),
       code,
       nullptr,
       {"GetModuleHandleA", "GetProcAddress"}},
      {"GetWinVerStr",
       nullptr,
       Strings(hostprobe::GetWinVerStr),
       version,
       nullptr,
       {"GetModuleHandleA", "GetProcAddress"}},
      {"getSystemDirectory",
       nullptr,
       Strings(hostprobe::GetSystemDirectoryText),
       IsNull,
       nullptr,
       {}},
      {"WinGetComputerName", nullptr, Strings(hostprobe::WinGetComputerName), IsNull, nullptr, {}},
      {"GetPhysicalMemory",
       nullptr,
       [](const Platform& p, wttest::JniHost&) {
         return std::to_string(hostprobe::GetPhysicalMemory(p));
       },
       IsZero,
       nullptr,
       {}},
      {"Copy64NoRedirect", [&] { only(true, false); },
       [&](const Platform& p, wttest::JniHost& h) {
         return std::to_string(
             hostprobe::Copy64NoRedirect(p, h.env(), h.NewJavaString(a), h.NewJavaString(b)));
       },
       IsZero, [&](const std::string& r) { return acted(Exists(b), r); }, kRedirectionSteps},
      {"Delete64NoRedirect", [&] { only(true, false); },
       [&](const Platform& p, wttest::JniHost& h) {
         return std::to_string(hostprobe::Delete64NoRedirect(p, h.env(), h.NewJavaString(a)));
       },
       IsZero, [&](const std::string& r) { return acted(!Exists(a), r); }, kRedirectionSteps},
      {"MoveFileEx",
       [&] { only(true, false); },
       [&](const Platform& p, wttest::JniHost& h) {
         return std::to_string(
             hostprobe::MoveWithFlags(p, h.env(), h.NewJavaString(a), h.NewJavaString(b), 1));
       },
       IsZero,
       [&](const std::string& r) { return (r == "1") == (Exists(b) && !Exists(a)); },
       {}},
      {"GetShortPath",
       [&] { only(true, false); },
       [&](const Platform& p, wttest::JniHost& h) {
         return Text(h, hostprobe::GetShortPath(p, h.env(), h.NewJavaString(a)));
       },
       IsNull,
       nullptr,
       {}},
      {"IsFileWriteLocked",
       [&] { only(true, false); },
       [&](const Platform& p, wttest::JniHost& h) {
         return std::to_string(hostprobe::IsFileWriteLocked(p, h.env(), h.NewJavaString(a)));
       },
       [](const std::string& r) { return r == "1"; },
       [&](const std::string&) { return Exists(a); },
       {"CloseHandle", "GetStringChars"}},
  };

  Platform real = hostprobe::RealPlatform();
  real.LogInfo = Log;
  real.LogWarning = Log;
  // Each method once before counting: a first use may take handles that
  // stay with the process (a DLL loaded, a key cached).
  for (const RealMethod& m : methods) {
    if (m.prepare) m.prepare();
    wttest::JniHost host;
    m.call(real, host);
    if (canRevert) revert(asItWas);
  }
  wttest::fault::Tally tally("libHostProbe (real functions)");
  std::map<std::string, std::string> cleanResults;
  wttest::fault::Tally::Paths paths;
  for (const RealMethod& m : methods) {
    paths.emplace_back(m.name, [&] {
      std::string& clean = cleanResults[m.name];
      if (m.prepare) m.prepare();
      std::string result;
      {
        wttest::JniHost host;
        wttest::fault::CountJniCalls(host);
        result = m.call(Faults(real), host);
        if (host.OutstandingChars() != 0 || !host.Errors().empty())
          return ::testing::AssertionFailure() << "Java characters kept or misused";
      }
      // A failed or missing revert leaves redirection off in this thread.
      if (canRevert) revert(asItWas);
      if (m.effect && !m.effect(result))
        return ::testing::AssertionFailure() << "the files disagree with " << result;
      if (!State().failed) {
        clean = result;
        return ::testing::AssertionSuccess();
      }
      if (result == clean && !FailedOneOf(m.passedOver))
        return ::testing::AssertionFailure() << "ended as if nothing had failed: " << result;
      if (result != clean && !m.allowed(result))
        return ::testing::AssertionFailure() << "result " << result << " is not on the page";
      return ::testing::AssertionSuccess();
    });
  }
  tally.SweepCountingHandles(paths);
}

}  // namespace
