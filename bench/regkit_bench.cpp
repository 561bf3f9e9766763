// libRegKit per call against the bare Win32 sequence each method performs, in
// one process, and its enumerations over keys of 1,000 to 100,000 entries.
//
//   regkit_bench [dll]     default: libRegKit.dll beside this program
//
// Loads the DLL into the JNI test host (which stands in for the Java VM and
// costs a little more per string than a real one), works below
// HKCU\Software\RegKitBench_<pid>_<n> and removes it at the end. Prints the
// best time per call of many alternating batches (library, then bare); never
// fails on a figure.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "wttest/jnihost.h"
#include "wttest/platform.h"
#include "wttest/process.h"

namespace {

const char kPrefix[] = "Java_com_tev_tools_deployjni_regkit_RegKitAPIDef_";
constexpr REGSAM kRead64 = KEY_READ | KEY_WOW64_64KEY;
constexpr REGSAM kWrite64 = KEY_WRITE | KEY_WOW64_64KEY;

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The fastest of several runs: on a shared machine the other runs measure
// the machine's load as much as the code.
double Best(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

// Seconds per call of body, timed in batches of count calls.
double PerCall(int count, const std::function<void()>& body) {
  const double start = Now();
  for (int i = 0; i < count; ++i) body();
  return (Now() - start) / count;
}

// The library and the bare sequence in alternating batches, so both see the
// same machine load.
void Compare(const char* what, int count, const std::function<void()>& library,
             const std::function<void()>& bare) {
  std::vector<double> lib, raw;
  library(), bare();  // warm
  for (int round = 0; round < 25; ++round) {
    lib.push_back(PerCall(count, library));
    raw.push_back(PerCall(count, bare));
  }
  const double l = Best(lib), r = Best(raw);
  std::printf("%-22s %9.2f us %9.2f us %7.3f\n", what, l * 1e6, r * 1e6, l / r);
  std::fflush(stdout);
}

template <typename Fn>
Fn Export(const wttest::JniLibrary& library, const char* method) {
  auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(library.Find(method)));
  if (!fn) {
    std::fprintf(stderr, "no export %s\n", method);
    std::exit(2);
  }
  return fn;
}

using ValueFn = jstring(JNICALL*)(JNIEnv*, jclass, jint, jstring, jstring);
using DwordFn = jint(JNICALL*)(JNIEnv*, jclass, jint, jstring, jstring);
using SetFn = jint(JNICALL*)(JNIEnv*, jclass, jint, jstring, jstring, jstring, jint);
using ListFn = jobjectArray(JNICALL*)(JNIEnv*, jclass, jint, jstring);

HKEY Create(const std::wstring& path) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                  nullptr, &key, nullptr);
  return key;
}

std::wstring Numbered(const wchar_t* prefix, int i) {
  wchar_t name[32];
  swprintf(name, 32, L"%ls%06d", prefix, i);
  return name;
}

// Fills a key with n values or n subkeys, named in ascending order (the
// registry keeps both sorted: appending is cheapest).
void Fill(const std::wstring& path, int n, bool subkeys) {
  HKEY key = Create(path);
  for (int i = 0; i < n; ++i) {
    const std::wstring name = Numbered(subkeys ? L"k" : L"v", i);
    if (subkeys) {
      HKEY sub = nullptr;
      RegCreateKeyExW(key, name.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &sub, nullptr);
      RegCloseKey(sub);
    } else {
      const DWORD data = static_cast<DWORD>(i);
      RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), 4);
    }
  }
  RegCloseKey(key);
}

// Removes a filled key; subkeys from the last, so none is moved.
void Empty(const std::wstring& path, int n, bool subkeys) {
  HKEY key = Create(path);
  if (subkeys) {
    for (int i = n - 1; i >= 0; --i) RegDeleteKeyW(key, Numbered(L"k", i).c_str());
  }
  RegCloseKey(key);
  RegDeleteKeyExW(HKEY_CURRENT_USER, path.c_str(), KEY_WOW64_64KEY, 0);
}

// Open, count, read every name, close: what the listing does in Win32.
void BareEnumeration(const std::wstring& path, bool subkeys) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, kRead64, &key) != ERROR_SUCCESS) return;
  DWORD keys = 0, values = 0;
  RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &keys, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  static wchar_t name[16384];
  for (DWORD i = 0; i < (subkeys ? keys : values); ++i) {
    DWORD length = subkeys ? 256 : 16384;
    if (subkeys)
      RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    else
      RegEnumValueW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
  }
  RegCloseKey(key);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring dll = argc > 1 ? argv[1] : wttest::BinaryDirectory() + L"libRegKit.dll";
  wttest::JniLibrary library(dll, kPrefix);
  if (!library.loaded()) {
    std::fprintf(stderr, "cannot load %s: error %lu\n", wttest::Narrow(dll).c_str(),
                 static_cast<unsigned long>(library.loadError()));
    return 2;
  }
  const auto queryValue = Export<ValueFn>(library, "RegQueryValueEx");
  const auto queryDword = Export<DwordFn>(library, "RegQueryDwordValue");
  const auto setValue = Export<SetFn>(library, "SetRegValue");
  const auto children = Export<ListFn>(library, "childrenForKey64");
  const auto values = Export<ListFn>(library, "valuesForKey64");

  const std::wstring base = L"Software\\" + wttest::UniqueName(L"RegKitBench_");
  const std::wstring smallKey = base + L"\\small";
  {
    HKEY key = Create(smallKey);
    const std::wstring text = L"C:\\Program Files\\TEV\\bin";
    RegSetValueExW(key, L"s", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * 2));
    const DWORD number = 4660;
    RegSetValueExW(key, L"d", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
    RegCloseKey(key);
    Fill(smallKey + L"\\children", 10, true);
  }

  std::printf("libRegKit %s, %s\n", wttest::Narrow(dll).c_str(),
              wttest::RunningUnderWine() ? "under Wine" : "on Windows");
  std::printf("%-22s %12s %12s %7s\n", "per call", "library", "bare Win32", "ratio");
  {
    wttest::JniHost host;
    JNIEnv* env = host.env();
    const jclass cls = host.receiver();
    const jstring path = host.NewJavaString(smallKey);
    const jstring kids = host.NewJavaString(smallKey + L"\\children");
    const jstring s = host.NewJavaString(L"s"), d = host.NewJavaString(L"d");
    const jstring w = host.NewJavaString(L"w"), text = host.NewJavaString(L"a value to write");
    const wchar_t* rawPath = smallKey.c_str();
    const std::wstring rawKids = smallKey + L"\\children";

    Compare(
        "RegQueryValueEx", 200, [&] { queryValue(env, cls, 0, path, s); },
        [&] {
          HKEY key = nullptr;
          if (RegOpenKeyExW(HKEY_CURRENT_USER, rawPath, 0, kRead64, &key) != ERROR_SUCCESS) return;
          DWORD type = 0, size = 0;
          if (RegQueryValueExW(key, L"s", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
            void* buffer = std::calloc(size / 2 + 3, sizeof(wchar_t));
            RegQueryValueExW(key, L"s", nullptr, &type, static_cast<BYTE*>(buffer), &size);
            std::free(buffer);
          }
          RegCloseKey(key);
        });
    Compare(
        "RegQueryDwordValue", 200, [&] { queryDword(env, cls, 0, path, d); },
        [&] {
          HKEY key = nullptr;
          if (RegOpenKeyExW(HKEY_CURRENT_USER, rawPath, 0, kRead64, &key) != ERROR_SUCCESS) return;
          DWORD type = 0, number = 0, size = 4;
          RegQueryValueExW(key, L"d", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
          RegCloseKey(key);
        });
    const std::wstring written = L"a value to write";
    Compare(
        "SetRegValue", 200, [&] { setValue(env, cls, 0, path, w, text, 1); },
        [&] {
          HKEY key = nullptr;
          if (RegOpenKeyExW(HKEY_CURRENT_USER, rawPath, 0, kWrite64, &key) != ERROR_SUCCESS) return;
          RegSetValueExW(key, L"w", 0, REG_SZ, reinterpret_cast<const BYTE*>(written.c_str()),
                         static_cast<DWORD>((written.size() + 1) * 2));
          RegCloseKey(key);
        });
    Compare(
        "childrenForKey64 (10)", 50, [&] { children(env, cls, 0, kids); },
        [&] {
          HKEY key = nullptr;
          if (RegOpenKeyExW(HKEY_CURRENT_USER, rawKids.c_str(), 0, kRead64, &key) != ERROR_SUCCESS)
            return;
          DWORD count = 0;
          RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr);
          wchar_t name[256];
          for (DWORD i = 0; i < count; ++i) {
            DWORD length = 256;
            RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
          }
          RegCloseKey(key);
        });
  }

  std::printf("\n%-22s %8s %12s %12s %12s %7s\n", "enumeration", "entries", "per call", "per entry",
              "bare/entry", "ratio");
  for (bool subkeys : {false, true}) {
    for (int n : {1000, 10000, 100000}) {
      const std::wstring big = base + (subkeys ? L"\\keys" : L"\\values");
      Fill(big, n, subkeys);
      std::vector<double> times, bareTimes;
      size_t length = 0;
      for (int round = 0; round < 7; ++round) {
        wttest::JniHost host;  // a fresh VM stand-in: its strings live until it goes
        const jstring path = host.NewJavaString(big);
        double start = Now();
        jobjectArray array = (subkeys ? children : values)(host.env(), host.receiver(), 0, path);
        times.push_back(Now() - start);
        const auto names = host.StringArray(array);
        length = names ? names->size() : 0;
        start = Now();
        BareEnumeration(big, subkeys);
        bareTimes.push_back(Now() - start);
      }
      const double t = Best(times), b = Best(bareTimes);
      std::printf("%-22s %8d %9.1f ms %9.2f us %9.2f us %7.3f%s\n",
                  subkeys ? "childrenForKey64" : "valuesForKey64", n, t * 1e3, t / n * 1e6,
                  b / n * 1e6, t / b, length == static_cast<size_t>(n) ? "" : "  (wrong length)");
      std::fflush(stdout);
      Empty(big, n, subkeys);
    }
  }

  Empty(smallKey + L"\\children", 10, true);
  HKEY key = Create(base);
  RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  RegDeleteKeyExW(HKEY_CURRENT_USER, base.c_str(), KEY_WOW64_64KEY, 0);
  return 0;
}
