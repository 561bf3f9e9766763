// Every registry and JNI call of each of libRegKit's 27 methods made to fail
// in turn, against the scripted registry and against the real one (a key of
// the test's own below HKEY_CURRENT_USER, in both views). Each run must end
// with the method's result or its failure result from the page, print only
// the method's messages, close every key, hand every Java string's
// characters back, and write or delete exactly when it reports success.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "fake_registry.h"
#include "operations.h"
#include "wttest/jnifault.h"
#include "wttest/platform.h"

namespace regkit_test {
namespace {

using regkit::Platform;
using wttest::fault::Counted;
using wttest::fault::FailedOneOf;
using wttest::fault::Fails;
using wttest::fault::State;

struct DeleteKeyExKey {};
FARPROC(WINAPI* g_lookup)(HMODULE, LPCSTR) = nullptr;

// The inner table's lookup: RegDeleteKeyExW, once found, counts and fails
// like an entry.
FARPROC WINAPI CountingLookup(HMODULE module, LPCSTR name) {
  FARPROC proc = g_lookup(module, name);
  if (!proc || std::strcmp(name, "RegDeleteKeyExW") != 0) return proc;
  auto fn = reinterpret_cast<regkit::RegDeleteKeyExWFn>(reinterpret_cast<void*>(proc));
  return reinterpret_cast<FARPROC>(
      reinterpret_cast<void*>(Counted<DeleteKeyExKey>(fn, "RegDeleteKeyExW")));
}

std::vector<std::wstring> g_lines;

wttest::fault::FaultTable<Platform> Faults(Platform inner) {
  g_lookup = inner.GetProcAddress;
  inner.GetProcAddress = CountingLookup;
  inner.WriteMessage = [](const wchar_t* line) { g_lines.push_back(line); };
  wttest::fault::FaultTable<Platform> t(inner);
  t.Add<&Platform::RegOpenKeyExW>("RegOpenKeyExW")
      .Add<&Platform::RegCreateKeyExW>("RegCreateKeyExW")
      .AddRelease<&Platform::RegCloseKey>("RegCloseKey")
      .Add<&Platform::RegQueryValueExW>("RegQueryValueExW")
      .Add<&Platform::RegQueryInfoKeyA>("RegQueryInfoKeyA")
      .Add<&Platform::RegEnumValueW>("RegEnumValueW")
      .Add<&Platform::RegEnumKeyExW>("RegEnumKeyExW")
      .Add<&Platform::RegSetValueExW>("RegSetValueExW", Fails::kStatus, ERROR_DISK_FULL)
      .Add<&Platform::RegDeleteValueW>("RegDeleteValueW")
      .Add<&Platform::RegDeleteKeyW>("RegDeleteKeyW")
      .Add<&Platform::GetModuleHandleA>("GetModuleHandleA")
      .Add<&Platform::GetProcAddress>("GetProcAddress")
      .Add<&Platform::SHDeleteKeyW>("SHDeleteKeyW", Fails::kStatus)
      .Add<&Platform::WriteMessage>("WriteMessage", Fails::kNever);
  return t;
}

// What a method returned, as text: a number, the string, "null", or the
// array as "[a,null,b]".
std::string Show(wttest::JniHost& host, jobject result, bool isArray) {
  if (!result) return "null";
  if (!isArray) return wttest::Narrow(host.Text(result).value_or(L"(no string)"));
  const auto elements = host.StringArray(result);
  if (!elements) return "(no array)";
  std::string s = "[";
  for (const auto& e : *elements)
    s += (s.size() > 1 ? "," : "") + (e ? wttest::Narrow(*e) : std::string("null"));
  return s + "]";
}

// The families of methods: their failure result, their messages, the calls
// whose failure they pass over, and the change they make.
enum Family { kExists, kCreate, kText, kDword, kType, kValues, kChildren, kSet, kDelete };
struct FamilyRule {
  std::string failure;
  std::vector<const wchar_t*> messages;  // line beginnings
  std::vector<const char*> passedOver;
};
const FamilyRule kRules[] = {
    {"0", {}, {}},
    // A failed open leads to the creation.
    {"0",
     {L"INFO: CreateRegKey::RegOpenKeyExWg ", L"INFO: CreateRegKey::RegCreateKeyExW "},
     {"RegOpenKeyExW"}},
    {"", {L"INFO: getRegValue::RegQueryValueExW ", L"ERROR: getRegValue::calloc "}, {}},
    {"0",
     {L"ERROR: getRegDwordValue::RegOpenKeyExW ", L"INFO: getRegDwordValue::RegQueryValueExW "},
     {}},
    {"0", {}, {}},
    {"null", {}, {}},
    {"null",
     {L"INFO: childrenForKey::RegOpenKeyExW ", L"INFO: childrenForKey::RegQueryInfoKey "},
     {}},
    {"0", {L"INFO: setRegValue::RegOpenKeyExW "}, {}},
    // RegDeleteKeyW needs no lookup.
    {"0", {}, {"GetModuleHandleA", "GetProcAddress"}},
};

// Where a method acts, below the test's key K: a value or a subkey.
struct Method {
  const char* name;
  Family family;
  bool view64;  // the view it acts in
  std::function<std::string(const Platform&, wttest::JniHost&, const std::wstring& key)> call;
  const wchar_t* value = nullptr;   // the value it writes or deletes
  const wchar_t* subkey = nullptr;  // the subkey it creates or deletes
};

constexpr bool kOwn64 = sizeof(void*) == 8;

template <typename R>
std::string Number(R r) {
  return std::to_string(r);
}

#define KEYS [](const Platform& p, wttest::JniHost& h, const std::wstring& k)
#define J(text) h.NewJavaString(text)

const Method kMethods[] = {{"RegKeyExists32", kExists, false,
                            KEYS{return Number(regkit::regKeyExists(p, h.env(), 0, J(k), false));
}  // namespace
}  // namespace regkit_test
, {"RegKeyExists64", kExists, true,
   KEYS{return Number(regkit::regKeyExists(p, h.env(), 0, J(k), true));
}
}
, {"CreateRegKey", kCreate, true,
   KEYS{return Number(regkit::CreateRegKey(p, h.env(), 0, J(k + L"\\new"), true));
}
, nullptr, L"new"
}
, {"CreateRegKeyWow64", kCreate, true,
   KEYS{return Number(regkit::CreateRegKey(p, h.env(), 0, J(k + L"\\new"), true));
}
, nullptr, L"new"
}
, {"CreateRegKey32", kCreate, false,
   KEYS{return Number(regkit::CreateRegKey(p, h.env(), 0, J(k + L"\\new"), false));
}
, nullptr, L"new"
}
, {"RegQueryValueEx", kText, true,
   KEYS{return Show(h, regkit::getRegValue(p, h.env(), 0, J(k), J(L"s"), true, 0), false);
}
}
, {"RegQueryValueExWow64", kText, true,
   KEYS{return Show(h, regkit::getRegValue(p, h.env(), 0, J(k), J(L"s"), true, 0), false);
}
}
, {"RegQueryValue32", kText, false,
   KEYS{return Show(h, regkit::getRegValue(p, h.env(), 0, J(k), J(L"s"), false, 0), false);
}
}
, {"RegQueryMultiValue", kText, true,
   KEYS{return Show(h, regkit::getRegValue(p, h.env(), 0, J(k), J(L"m"), true, L'\n'), false);
}
}
, {"RegQueryDwordValue", kDword, true,
   KEYS{return Number(regkit::getRegDwordValue(p, h.env(), 0, J(k), J(L"d"), true));
}
}
, {"RegQueryDwordValue32", kDword, false,
   KEYS{return Number(regkit::getRegDwordValue(p, h.env(), 0, J(k), J(L"d"), false));
}
}
, {"RegQueryType64", kType, true,
   KEYS{return Number(regkit::getRegType(p, h.env(), 0, J(k), J(L"s"), true));
}
}
, {"RegQueryType32", kType, false,
   KEYS{return Number(regkit::getRegType(p, h.env(), 0, J(k), J(L"s"), false));
}
}
, {"valuesForKey64", kValues, true,
   KEYS{return Show(h, regkit::valuesForKey(p, h.env(), 0, J(k), true), true);
}
}
, {"valuesForKey32", kValues, false,
   KEYS{return Show(h, regkit::valuesForKey(p, h.env(), 0, J(k), false), true);
}
}
, {"childrenForKey64", kChildren, true,
   KEYS{return Show(h, regkit::childrenForKey(p, h.env(), 0, J(k), true), true);
}
}
, {"childrenForKey32", kChildren, false,
   KEYS{return Show(h, regkit::childrenForKey(p, h.env(), 0, J(k), false), true);
}
}
, {"SetRegValue", kSet, true,
   KEYS{return Number(regkit::setRegValue(p, h.env(), 0, J(k), J(L"w"), J(L"data"), 1, true));
}
, L"w"
}
, {"SetRegValueWow64", kSet, true,
   KEYS{return Number(regkit::setRegValue(p, h.env(), 0, J(k), J(L"w"), J(L"data"), 1, true));
}
, L"w"
}
, {"SetRegValue32", kSet, false,
   KEYS{return Number(regkit::setRegValue(p, h.env(), 0, J(k), J(L"w"), J(L"data"), 1, false));
}
, L"w"
}
, {"SetRegDwordValue", kSet, true,
   KEYS{return Number(regkit::setRegDwordValue(p, h.env(), 0, J(k), J(L"w"), 9, 101, true));
}
, L"w"
}
, {"SetRegDwordValue32", kSet, false,
   KEYS{return Number(regkit::setRegDwordValue(p, h.env(), 0, J(k), J(L"w"), 9, 101, false));
}
, L"w"
}
, {"DelRegkeyValue", kDelete, true,
   KEYS{return Number(regkit::DelRegkeyValue(p, h.env(), 0, J(k), J(L"gone"), true));
}
, L"gone"
}
, {"DelRegKey32BitOS", kDelete, kOwn64,
   KEYS{return Number(regkit::deleteRegKey(p, h.env(), 0, J(k + L"\\leaf"), regkit::kOwnView));
}
, nullptr, L"leaf"
}
, {"DelRegKeyWOW32Bit", kDelete, false,
   KEYS{return Number(regkit::deleteRegKey(p, h.env(), 0, J(k + L"\\leaf"), regkit::kDelete32));
}
, nullptr, L"leaf"
}
, {"DelRegKeyWOW64Bit", kDelete, true,
   KEYS{return Number(regkit::deleteRegKey(p, h.env(), 0, J(k + L"\\leaf"), regkit::kDelete64));
}
, nullptr, L"leaf"
}
, {"DelRegTree", kDelete, kOwn64,
   KEYS{return Number(regkit::DelRegTree(p, h.env(), 0, J(k + L"\\tree")));
}
, nullptr, L"tree"
}
,
}
;

#undef KEYS
#undef J

// The verdict on one run; clean holds the clean run's result.
::testing::AssertionResult Verdict(const Method& m, const std::string& result, std::string& clean,
                                   wttest::JniHost& host, bool changed) {
  const FamilyRule& rule = kRules[m.family];
  if (host.OutstandingChars() != 0 || !host.Errors().empty())
    return ::testing::AssertionFailure() << "Java characters kept or misused";
  for (const std::wstring& line : g_lines) {
    bool listed = false;
    for (const wchar_t* start : rule.messages) listed |= line.rfind(start, 0) == 0;
    if (!listed) return ::testing::AssertionFailure() << "message " << wttest::Narrow(line);
  }
  // A write or deletion happens exactly when the method reports it.
  if ((m.value || m.subkey) && changed != (result == "1"))
    return ::testing::AssertionFailure()
           << (changed ? "changed" : "unchanged") << " with " << result;
  if (!State().failed) {
    clean = result;
    return ::testing::AssertionSuccess();
  }
  if (result == clean && !FailedOneOf(rule.passedOver) && !FailedOneOf({"RegCloseKey"}))
    return ::testing::AssertionFailure() << "ended as if nothing had failed: " << result;
  if (result == clean || result == rule.failure) return ::testing::AssertionSuccess();
  // A VM that cannot make the string; a listing whose entry could not be read.
  if (result == "null" && (m.family == kText || m.family == kValues || m.family == kChildren))
    return ::testing::AssertionSuccess();
  if ((m.family == kValues || m.family == kChildren) && result.find("null") != std::string::npos &&
      FailedOneOf({"RegEnumValueW", "RegEnumKeyExW"}))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "result " << result << " is not on the page";
}

TEST(RegKitFaults, EveryCallOfEveryMethodFailsAsThePageSays) {
  wttest::fault::Tally tally("libRegKit (scripted)");
  for (const Method& m : kMethods) {
    std::string clean;
    tally.Sweep(m.name, [&] {
      FakeRegistry fake;
      fake.data = {m.family == kDword ? std::string("\7\0\0\0", 4)
                                      : std::string("t\0e\0x\0t\0\0\0", 10)};
      fake.valueNames = {L"s", L"d"};
      fake.subkeyNames = {L"c1", L"c2"};
      // The key to create does not open for writing yet.
      if (m.family == kCreate) fake.open = [](REGSAM a) { return LONG{a & KEY_SET_VALUE ? 2 : 0}; };
      g_lines.clear();
      wttest::JniHost host;
      wttest::fault::CountJniCalls(host);
      const auto faults = Faults(fake.table());
      if (!faults.Complete()) return ::testing::AssertionFailure() << "entries missing";
      const std::string result = m.call(faults, host, L"Software\\K");
      if (fake.opens != fake.closes) return ::testing::AssertionFailure() << "a key left open";
      const bool changed = !fake.writes.empty() || !fake.deletions.empty() ||
                           (m.family == kCreate && fake.opens > 0);
      return Verdict(m, result, clean, host, changed);
    });
  }
}

// The real registry: below HKCU\Software\<unique>\K in both views, values s
// (text), m (multi-string), d (number) and gone, subkeys c1, leaf and
// tree\sub, made anew before every run.
HKEY Make(const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                  &key, nullptr);
  return key;
}

void Prepare(const std::wstring& k) {
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY key = Make(k, view);
    RegDeleteTreeW(key, nullptr);
    const wchar_t text[] = L"text", multi[] = L"a\0b\0";
    const DWORD number = 7;
    RegSetValueExW(key, L"s", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    RegSetValueExW(key, L"m", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi);
    RegSetValueExW(key, L"d", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegSetValueExW(key, L"gone", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    RegCloseKey(key);
    for (const wchar_t* sub : {L"\\c1", L"\\leaf", L"\\tree\\sub"})
      RegCloseKey(Make(k + sub, view));
  }
}

// The key path opens (and, with a name, holds that value) in the view.
bool Has(const std::wstring& path, const wchar_t* name, bool view64) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0,
                    KEY_READ | (view64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY), &key) != ERROR_SUCCESS)
    return false;
  const bool has =
      !name || RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
  RegCloseKey(key);
  return has;
}

TEST(RegKitFaults, RealRegistryFailsAsThePageSays) {
  const std::wstring base = L"Software\\" + wttest::UniqueName(L"wtFault");
  const std::wstring k = base + L"\\K";
  wttest::fault::Tally tally("libRegKit (real functions)");
  // Each method once before counting: a first use may take handles that
  // stay with the process.
  Platform quiet = regkit::RealPlatform();
  quiet.WriteMessage = [](const wchar_t*) {};
  for (const Method& m : kMethods) {
    Prepare(k);
    wttest::JniHost host;
    m.call(quiet, host, k);
  }
  // The keys and values as Prepare makes them, before each run of a method
  // that changes them (no value w, no key new yet).
  std::map<std::string, std::string> clean;
  wttest::fault::Tally::Paths paths;
  Prepare(k);
  for (const Method& m : kMethods) {
    paths.emplace_back(m.name, [&] {
      if (m.value || m.subkey) Prepare(k);
      g_lines.clear();
      std::string result;
      {
        wttest::JniHost host;
        wttest::fault::CountJniCalls(host);
        result = m.call(Faults(regkit::RealPlatform()), host, k);
        const bool there = m.value ? Has(k, m.value, m.view64)
                                   : m.subkey && Has(k + L"\\" + m.subkey, nullptr, m.view64);
        const bool changed = m.family == kSet || m.family == kCreate ? there : !there;
        const auto verdict = Verdict(m, result, clean[m.name], host, changed);
        if (!verdict) return verdict;
      }
      return ::testing::AssertionSuccess();
    });
  }
  tally.SweepCountingHandles(paths);
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY software = Make(L"Software", view);
    RegDeleteTreeW(software, base.substr(9).c_str());
    RegCloseKey(software);
  }
}

}  // namespace
}  // namespace regkit_test
