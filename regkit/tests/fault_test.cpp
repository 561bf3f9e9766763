// Every registry and JNI call of each of libRegKit's 27 methods made to fail
// in turn, against the scripted registry and against the real one (a key of
// the test's own below HKEY_CURRENT_USER, in both views). Each run must end
// with the method's result or its failure result from the page, print only
// the method's messages, close every key, hand every Java string's
// characters back, and write or delete exactly when it reports success.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <map>
#include <sstream>

#include "fake_registry.h"
#include "operations.h"
#include "wttest/jnifault.h"
#include "wttest/platform.h"

namespace regkit_test {
namespace {

using regkit::Platform;
using wttest::fault::Counted;
using wttest::fault::Fails;

struct DeleteKeyExKey {};
FARPROC(WINAPI* g_lookup)(HMODULE, LPCSTR) = nullptr;
std::vector<std::wstring> g_lines;

// RegDeleteKeyExW, once found, counts and fails like an entry.
FARPROC WINAPI CountingLookup(HMODULE module, LPCSTR name) {
  const FARPROC proc = g_lookup(module, name);
  if (!proc || std::strcmp(name, "RegDeleteKeyExW") != 0) return proc;
  auto fn = reinterpret_cast<regkit::RegDeleteKeyExWFn>(reinterpret_cast<void*>(proc));
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(Counted<DeleteKeyExKey>(fn, name)));
}

wttest::fault::FaultTable<Platform> Faults(Platform inner) {
  g_lookup = inner.GetProcAddress;
  inner.GetProcAddress = CountingLookup;
  inner.WriteMessage = [](const wchar_t* line) { g_lines.push_back(line); };
  wttest::fault::FaultTable<Platform> t(inner);
  WT_FAULT_ENTRIES(t, Platform, Fails::kByType, RegOpenKeyExW, RegCreateKeyExW, RegQueryValueExW,
                   RegQueryInfoKeyA, RegEnumValueW, RegEnumKeyExW, RegDeleteValueW, RegDeleteKeyW,
                   GetModuleHandleA, GetProcAddress)
  WT_FAULT_RELEASES(t, Platform, Fails::kByType, RegCloseKey)
  t.Add<&Platform::RegSetValueExW>("RegSetValueExW", Fails::kStatus, ERROR_DISK_FULL);
  t.Add<&Platform::SHDeleteKeyW>("SHDeleteKeyW", Fails::kStatus);
  t.Add<&Platform::WriteMessage>("WriteMessage", Fails::kNever);
  return t;
}

// The operations behind the methods, each with what the page says of it.
enum Op {
  kExists,
  kCreate,
  kText,
  kMulti,
  kDword,
  kType,
  kValues,
  kChildren,
  kSet,
  kSetDword,
  kDelValue,
  kDelOwn,
  kDel64,
  kDel32,
  kTree
};
struct Method {
  const char* name;
  Op op;
  bool view64;
};
constexpr bool kOwn64 = sizeof(void*) == 8;
const Method kMethods[] = {
    {"RegKeyExists32", kExists, false},      {"RegKeyExists64", kExists, true},
    {"CreateRegKey", kCreate, true},         {"CreateRegKeyWow64", kCreate, true},
    {"CreateRegKey32", kCreate, false},      {"RegQueryValueEx", kText, true},
    {"RegQueryValueExWow64", kText, true},   {"RegQueryValue32", kText, false},
    {"RegQueryMultiValue", kMulti, true},    {"RegQueryDwordValue", kDword, true},
    {"RegQueryDwordValue32", kDword, false}, {"RegQueryType64", kType, true},
    {"RegQueryType32", kType, false},        {"valuesForKey64", kValues, true},
    {"valuesForKey32", kValues, false},      {"childrenForKey64", kChildren, true},
    {"childrenForKey32", kChildren, false},  {"SetRegValue", kSet, true},
    {"SetRegValueWow64", kSet, true},        {"SetRegValue32", kSet, false},
    {"SetRegDwordValue", kSetDword, true},   {"SetRegDwordValue32", kSetDword, false},
    {"DelRegkeyValue", kDelValue, true},     {"DelRegKey32BitOS", kDelOwn, kOwn64},
    {"DelRegKeyWOW32Bit", kDel32, false},    {"DelRegKeyWOW64Bit", kDel64, true},
    {"DelRegTree", kTree, kOwn64},
};

// What a method writes (a value of key k) or creates or deletes (a subkey).
const wchar_t* ValueOf(Op op) {
  return op == kSet || op == kSetDword ? L"w" : op == kDelValue ? L"gone" : nullptr;
}
const wchar_t* SubkeyOf(Op op) {
  return op == kCreate ? L"new" : op == kTree ? L"tree" : op >= kDelOwn ? L"leaf" : nullptr;
}

std::string Show(wttest::JniHost& h, jobject r, bool array) {
  if (!r) return "null";
  if (!array) return wttest::Narrow(h.Text(r).value_or(L"?"));
  std::string s = "[";
  for (const auto& e : h.StringArray(r).value_or(std::vector<std::optional<std::wstring>>{}))
    s += (s.size() > 1 ? "," : "") + (e ? wttest::Narrow(*e) : "null");
  return s + "]";
}

std::string Call(const Method& m, const Platform& p, wttest::JniHost& h, const std::wstring& k) {
  JNIEnv* env = h.env();
  const jstring key = h.NewJavaString(k), value = h.NewJavaString(L"s");
  const jstring sub = h.NewJavaString(k + L"\\" + (SubkeyOf(m.op) ? SubkeyOf(m.op) : L""));
  const jstring w = h.NewJavaString(ValueOf(m.op) ? ValueOf(m.op) : L"");
  const bool v = m.view64;
  switch (m.op) {
    case kExists:
      return std::to_string(regkit::regKeyExists(p, env, 0, key, v));
    case kCreate:
      return std::to_string(regkit::CreateRegKey(p, env, 0, sub, v));
    case kText:
      return Show(h, regkit::getRegValue(p, env, 0, key, value, v, 0), false);
    case kMulti:
      return Show(h, regkit::getRegValue(p, env, 0, key, h.NewJavaString(L"m"), v, L'\n'), false);
    case kDword:
      return std::to_string(regkit::getRegDwordValue(p, env, 0, key, h.NewJavaString(L"d"), v));
    case kType:
      return std::to_string(regkit::getRegType(p, env, 0, key, value, v));
    case kValues:
      return Show(h, regkit::valuesForKey(p, env, 0, key, v), true);
    case kChildren:
      return Show(h, regkit::childrenForKey(p, env, 0, key, v), true);
    case kSet:
      return std::to_string(regkit::setRegValue(p, env, 0, key, w, h.NewJavaString(L"data"), 1, v));
    case kSetDword:
      return std::to_string(regkit::setRegDwordValue(p, env, 0, key, w, 9, 101, v));
    case kDelValue:
      return std::to_string(regkit::DelRegkeyValue(p, env, 0, key, w, v));
    case kDelOwn:
      return std::to_string(regkit::deleteRegKey(p, env, 0, sub, regkit::kOwnView));
    case kDel64:
      return std::to_string(regkit::deleteRegKey(p, env, 0, sub, regkit::kDelete64));
    case kDel32:
      return std::to_string(regkit::deleteRegKey(p, env, 0, sub, regkit::kDelete32));
    case kTree:
      return std::to_string(regkit::DelRegTree(p, env, 0, sub));
  }
  return "?";
}

// The values of the real key, in any order (Windows keeps the order of
// creation, Wine sorts them).
bool FourValues(const std::string& r) {
  std::vector<std::string> names;
  std::stringstream in(r.size() > 2 ? r.substr(1, r.size() - 2) : "");
  for (std::string name; std::getline(in, name, ',');) names.push_back(name);
  std::sort(names.begin(), names.end());
  return r.front() == '[' && names == std::vector<std::string>{"d", "gone", "m", "s"};
}

// The page on each operation, against the scripted or the real registry:
// its clean and failure results, and the calls it passes over.
wttest::fault::Page PageOf(Op op, bool real) {
  using wttest::fault::Result;
  switch (op) {
    case kCreate:  // a failed open leads to the creation
      return {"1", {"0"}, nullptr, {}, {"RegOpenKeyExW"}};
    case kText:
    case kMulti:  // null when the VM cannot make the string
      return {!real ? "txt" : op == kText ? "text" : "a\nb", {"", "null"}};
    case kDword:
      return {"7", {"0"}};
    case kValues:
    case kChildren:  // an entry that cannot be read stays null
      return {!real           ? Result(op == kValues ? "[s,d]" : "[c1,c2]")
              : op == kValues ? Result(FourValues)
                              : Result("[c1,leaf,tree]"),
              {"null"},
              [](const std::string& r) { return r.find("null") != std::string::npos; }};
    case kDelOwn:  // RegDeleteKeyW needs no lookup
      return {"1", {"0"}, nullptr, {}, {"GetModuleHandleA", "GetProcAddress"}};
    default:  // a truth or a type (REG_SZ)
      return {"1", {"0"}};
  }
}
const std::map<Op, std::vector<std::wstring>> kMessages = {
    {kCreate, {L"INFO: CreateRegKey::RegOpenKeyExWg ", L"INFO: CreateRegKey::RegCreateKeyExW "}},
    {kText, {L"INFO: getRegValue::RegQueryValueExW ", L"ERROR: getRegValue::calloc "}},
    {kMulti, {L"INFO: getRegValue::RegQueryValueExW ", L"ERROR: getRegValue::calloc "}},
    {kDword,
     {L"ERROR: getRegDwordValue::RegOpenKeyExW ", L"INFO: getRegDwordValue::RegQueryValueExW "}},
    {kChildren,
     {L"INFO: childrenForKey::RegOpenKeyExW ", L"INFO: childrenForKey::RegQueryInfoKey "}},
    {kSet, {L"INFO: setRegValue::RegOpenKeyExW "}}};

// One run: the method's messages only, the Java strings handed back, a
// change exactly with 1, then the page's verdict.
::testing::AssertionResult Verdict(const Method& m, const Platform& p, bool real,
                                   const std::wstring& k, const std::function<bool()>& changed) {
  g_lines.clear();
  wttest::JniHost host;
  wttest::fault::CountJniCalls(host);
  const std::string result = Call(m, Faults(p), host, k);
  if (host.OutstandingChars() != 0 || !host.Errors().empty())
    return ::testing::AssertionFailure() << "Java characters kept or misused";
  for (const std::wstring& line : g_lines) {
    bool listed = false;
    for (const auto& start :
         kMessages.count(m.op) ? kMessages.at(m.op) : std::vector<std::wstring>{})
      listed |= line.rfind(start, 0) == 0;
    if (!listed) return ::testing::AssertionFailure() << "message " << wttest::Narrow(line);
  }
  if ((ValueOf(m.op) || SubkeyOf(m.op)) && changed() != (result == "1"))
    return ::testing::AssertionFailure() << "changed or not against " << result;
  return wttest::fault::Judge(PageOf(m.op, real), result);
}

TEST(RegKitFaults, EveryCallOfEveryMethodFailsAsThePageSays) {
  wttest::fault::Tally tally("libRegKit (scripted)");
  for (const Method& m : kMethods) {
    tally.Sweep(m.name, [&] {
      FakeRegistry fake;
      fake.data = {m.op == kDword ? std::string("\7\0\0\0", 4) : std::string("t\0x\0t\0\0\0", 8)};
      fake.valueNames = {L"s", L"d"};
      fake.subkeyNames = {L"c1", L"c2"};
      // The key to create does not open for writing yet.
      if (m.op == kCreate) fake.open = [](REGSAM a) { return LONG{a & KEY_SET_VALUE ? 2 : 0}; };
      const auto verdict = Verdict(m, fake.table(), false, L"Software\\K", [&] {
        return !fake.writes.empty() || !fake.deletions.empty() || (m.op == kCreate && fake.opens);
      });
      if (fake.opens != fake.closes) return ::testing::AssertionFailure() << "a key left open";
      return verdict;
    });
  }
}

// The real registry: below HKCU\Software\<unique>\K in both views, values s,
// m (a multi-string), d (a number) and gone, subkeys c1, leaf and tree\sub.
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
    for (const wchar_t* name : {L"s", L"gone"})
      RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof text);
    RegSetValueExW(key, L"m", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi), sizeof multi);
    RegSetValueExW(key, L"d", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    for (const wchar_t* sub : {L"\\c1", L"\\leaf", L"\\tree\\sub"})
      RegCloseKey(Make(k + sub, view));
  }
}

// The key path opens in the view (and, with a name, holds that value).
bool Has(const std::wstring& path, const wchar_t* name, bool view64) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0,
                    KEY_READ | (view64 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY), &key) != ERROR_SUCCESS)
    return false;
  const bool has = !name || RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == 0;
  RegCloseKey(key);
  return has;
}

TEST(RegKitFaults, RealRegistryFailsAsThePageSays) {
  const std::wstring base = L"Software\\" + wttest::UniqueName(L"wtFault");
  const std::wstring k = base + L"\\K";
  wttest::fault::Tally::Paths paths;
  for (const Method& m : kMethods) {
    // Once before counting: a first use may keep handles.
    Prepare(k);
    wttest::fault::State().Reset(0);
    wttest::JniHost host;
    Call(m, Faults(regkit::RealPlatform()), host, k);
    paths.emplace_back(m.name, [&] {
      Prepare(k);  // no value w, no key new yet
      return Verdict(m, regkit::RealPlatform(), true, k, [&] {
        const bool there = ValueOf(m.op) ? Has(k, ValueOf(m.op), m.view64)
                                         : Has(k + L"\\" + SubkeyOf(m.op), nullptr, m.view64);
        return m.op == kSet || m.op == kSetDword || m.op == kCreate ? there : !there;
      });
    });
  }
  Prepare(k);
  wttest::fault::Tally("libRegKit (real functions)").SweepCountingHandles(paths);
  for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY software = Make(L"Software", view);
    RegDeleteTreeW(software, base.substr(9).c_str());
    RegCloseKey(software);
  }
}

}  // namespace
}  // namespace regkit_test
