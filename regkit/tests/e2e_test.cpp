// The real libRegKit.dll of this build in the JNI host: the x86 build under
// WOW64 on a 64-bit Windows, the x64 build natively. Effects are checked
// through the registry API of the test process, in an explicit view.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "calls.h"
#include "wttest/platform.h"
#include "wttest/process.h"

namespace regkit_test {
namespace {

using wttest::Narrow;
const HKEY kCU = HKEY_CURRENT_USER, kLM = HKEY_LOCAL_MACHINE;
const REGSAM k64 = KEY_WOW64_64KEY, k32 = KEY_WOW64_32KEY;

std::string Units(const std::wstring& text, bool terminated = true) {
  return std::string(reinterpret_cast<const char*>(text.c_str()),
                     (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
}

bool RawKey(HKEY root, const std::wstring& path, REGSAM view = k64) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// The value's type and bytes, or "missing".
std::string RawValue(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view = k64) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return "no key";
  BYTE data[256];
  DWORD type = 0, size = sizeof data;
  const LONG r = RegQueryValueExW(key, name, nullptr, &type, data, &size);
  RegCloseKey(key);
  if (r != ERROR_SUCCESS) return "missing";
  return std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size);
}

void RawSet(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
            const std::string& bytes) {
  HKEY key = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | k64, nullptr, &key, nullptr),
      ERROR_SUCCESS);
  if (name) {
    EXPECT_EQ(RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())),
              ERROR_SUCCESS);
  }
  RegCloseKey(key);
}

void RawDeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  RegDeleteKeyExW(root, path.c_str(), view, 0);
}

// An array answer as CallByName shows it.
std::string List(std::initializer_list<std::wstring> names) {
  std::string shown = "[";
  for (const std::wstring& n : names)
    shown += (shown.size() > 1 ? ", \"" : "\"") + Narrow(n) + "\"";
  return shown + "]";
}

const wttest::JniLibrary& Library() {
  static wttest::JniLibrary library(wttest::BinaryDirectory() + L"libRegKit.dll", kExportPrefix);
  return library;
}

// Keys of its own below HKCU\Software and HKLM\SOFTWARE, removed from both
// views before and after.
class RegKit : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Library().loaded()) << "LoadLibraryW error " << Library().loadError();
    Clean();
  }
  void TearDown() override {
    Clean();
    EXPECT_EQ(host.OutstandingChars(), 0);
    EXPECT_TRUE(host.Errors().empty());
  }
  void Clean() {
    for (REGSAM view : {k64, k32}) RawDeleteTree(kCU, cu, view), RawDeleteTree(kLM, lm, view);
  }
  std::string Call(const char* method, const std::vector<std::wstring>& args) {
    return CallByName(Library(), host, method, args).value_or("no such call");
  }
  const std::wstring name = wttest::UniqueName(L"RegKitTest_");
  const std::wstring cu = L"Software\\" + name, lm = L"SOFTWARE\\" + name;
  wttest::JniHost host;
};

TEST(Exports, ExactlyTheTwentySevenJniNames) {
  std::vector<std::string> expected;
  for (const std::string& m : MethodNames()) expected.push_back(kExportPrefix + m);
  std::vector<std::string> actual = Library().ExportNames();
  std::sort(expected.begin(), expected.end());
  std::sort(actual.begin(), actual.end());
  EXPECT_EQ(actual, expected);
}

TEST_F(RegKit, ViewsAreKeptApartBelowLocalMachineSoftware) {
  const std::wstring sub = lm + L"\\only32";
  EXPECT_EQ(Call("CreateRegKey32", {L"8", sub}), "1");
  EXPECT_EQ(Call("RegKeyExists32", {L"8", sub}), "1");
  EXPECT_EQ(Call("RegKeyExists64", {L"8", lm}), "0");
  EXPECT_TRUE(RawKey(kLM, sub, k32));
  EXPECT_FALSE(RawKey(kLM, lm, k64));
  EXPECT_EQ(Call("CreateRegKey", {L"8", lm}), "1");

  EXPECT_EQ(Call("SetRegValue32", {L"8", lm, L"v", L"thirty-two", L"1"}), "1");
  EXPECT_EQ(Call("SetRegValue", {L"8", lm, L"v", L"sixty-four", L"1"}), "1");
  EXPECT_EQ(Call("SetRegDwordValue32", {L"8", lm, L"d", L"32", L"101"}), "1");
  EXPECT_EQ(RawValue(kLM, lm, L"v", k32), "1:" + Units(L"thirty-two"));
  EXPECT_EQ(RawValue(kLM, lm, L"v", k64), "1:" + Units(L"sixty-four"));
  EXPECT_EQ(Call("RegQueryValue32", {L"8", lm, L"v"}), "\"thirty-two\"");
  EXPECT_EQ(Call("RegQueryValueEx", {L"8", lm, L"v"}), "\"sixty-four\"");
  EXPECT_EQ(Call("RegQueryMultiValue", {L"8", lm, L"v", L"false"}), "\"thirty-two\"");
  EXPECT_EQ(Call("RegQueryDwordValue32", {L"8", lm, L"d"}), "32");
  EXPECT_EQ(Call("RegQueryType32", {L"8", lm, L"d"}), "4");
  EXPECT_EQ(Call("RegQueryType64", {L"8", lm, L"d"}), "0");

  EXPECT_EQ(Call("childrenForKey32", {L"8", lm}), List({L"only32"}));
  EXPECT_EQ(Call("childrenForKey64", {L"8", lm}), "[]");
  EXPECT_EQ(Call("valuesForKey64", {L"8", lm}), List({L"v"}));

  EXPECT_EQ(Call("DelRegKeyWOW64Bit", {L"8", sub}), "0");
  EXPECT_EQ(Call("DelRegKeyWOW32Bit", {L"8", sub}), "1");
  EXPECT_FALSE(RawKey(kLM, sub, k32));
  EXPECT_EQ(Call("DelRegkeyValue", {L"8", lm, L"v", L"false"}), "1");
  EXPECT_EQ(RawValue(kLM, lm, L"v", k32), "missing");
  EXPECT_EQ(RawValue(kLM, lm, L"v", k64), "1:" + Units(L"sixty-four"));
}

TEST_F(RegKit, RootCodesOutsideTheTableReachTheCurrentUser) {
  for (const wchar_t* code : {L"0", L"4", L"32", L"-1"}) {
    EXPECT_EQ(Call("CreateRegKey", {code, cu + L"\\" + code}), "1");
    EXPECT_TRUE(RawKey(kCU, cu + L"\\" + code)) << Narrow(code);
  }
  EXPECT_EQ(Call("RegKeyExists64", {L"8", L""}), "1");  // the root itself
}

// The tool prints its answers in UTF-8; the library converts its lines to
// the stream's code page, so a line stays whole whatever characters it holds.
std::string AsLibraryWritesIt(const std::wstring& line) {
  const UINT cp = GetACP();
  const bool utf8 = cp == CP_UTF8;
  char bytes[512];
  const int n = WideCharToMultiByte(cp, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, line.c_str(),
                                    static_cast<int>(line.size()), bytes, sizeof bytes,
                                    utf8 ? nullptr : "?", nullptr);
  return std::string(bytes, n > 0 ? n : 0);
}

TEST_F(RegKit, MessagesAreSingleLinesOnStandardOutput) {
  const std::wstring deep = cu + L"\\a\\b\\c", none = cu + L"\\none", wide = cu + L"\\\x00e9\x03a9";
  const std::string d = Narrow(deep), n = Narrow(none);
  const std::string value = "INFO: getRegValue::RegQueryValueExW querying value for ";
  struct Step {
    std::vector<std::wstring> call;
    std::string line;  // the library's, before the tool's answer line
    const char* answer;
  } const steps[] = {
      {{L"CreateRegKey", L"0", deep},
       "INFO: CreateRegKey::RegOpenKeyExWg " + d + " returns 2",
       "1"},
      {{L"CreateRegKey", L"0", deep}, "", "1"},
      {{L"RegQueryValueEx", L"0", deep, L"v"}, value + d + ":v returns 2", "\"\""},
      {{L"RegQueryValueEx", L"0", none, L"v"}, value + n + ":v returns 2", "\"\""},
      {{L"RegQueryDwordValue", L"0", none, L"v"},
       "ERROR: getRegDwordValue::RegOpenKeyExW for " + n + ":v returns 2",
       "0"},
      {{L"RegQueryDwordValue", L"0", deep, L"v"},
       "INFO: getRegDwordValue::RegQueryValueExW for " + d + ":v returns 2",
       "0"},
      {{L"childrenForKey64", L"0", none},
       "INFO: childrenForKey::RegOpenKeyExW opening key " + n + " returns 2",
       "null"},
      {{L"valuesForKey64", L"0", none}, "", "null"},
      {{L"SetRegValue", L"0", none, L"v", L"x", L"1"},
       "INFO: setRegValue::RegOpenKeyExW v returns 2",
       "0"},
      {{L"RegQueryValueEx", L"0", wide, L"v"},
       AsLibraryWritesIt(wttest::Widen(value) + wide + L":v returns 2"),
       "\"\""},
  };
  const std::wstring tool = wttest::BuiltProgram(L"regkit_host.exe");
  std::wstring command =
      wttest::JoinCommandLine({tool, wttest::BinaryDirectory() + L"libRegKit.dll"});
  std::string expected;
  for (const Step& step : steps) {
    for (const std::wstring& arg : step.call) command += L" " + wttest::QuoteArgument(arg);
    const std::vector<std::wstring> args(step.call.begin() + 1, step.call.end());
    if (!step.line.empty()) expected += step.line + "\r\n";
    expected += Narrow(step.call[0]) + "(" + ShowArguments(Narrow(step.call[0]), args) + ") -> " +
                step.answer + "\r\n";
  }
  const wttest::ProcessResult r = wttest::RunProcess(tool, command);
  ASSERT_TRUE(r.started);
  EXPECT_EQ(r.exitCode, 0u) << r.err;
  EXPECT_EQ(r.out, expected);
  EXPECT_TRUE(RawKey(kCU, deep));
  EXPECT_FALSE(RawKey(kCU, none));
}

TEST_F(RegKit, TextValuesComeBackAsStored) {
  struct {
    const wchar_t* name;
    DWORD type;
    std::string bytes;
    const char* text;
    const char* joined;  // RegQueryMultiValue
  } const cases[] = {
      {L"sz", REG_SZ, Units(L"plain"), "\"plain\"", "\"plain\""},
      {L"expand", REG_EXPAND_SZ, Units(L"%SystemRoot%\\x"), "\"%SystemRoot%\\x\"",
       "\"%SystemRoot%\\x\""},
      {L"empty", REG_SZ, Units(L""), "\"\"", "\"\""},
      {L"nodata", REG_SZ, "", "\"\"", "\"\""},
      {L"multi", REG_MULTI_SZ, Units(std::wstring(L"a\0b\0c\0", 6)), "\"a\"", "\"a\\nb\\nc\""},
      {L"unterminated", REG_SZ, Units(L"abc", false), "\"abc\"", "\"abc\""},
  };
  for (const auto& c : cases) {
    RawSet(kCU, cu, c.name, c.type, c.bytes);
    EXPECT_EQ(Call("RegQueryValueEx", {L"0", cu, c.name}), c.text) << Narrow(c.name);
    EXPECT_EQ(Call("RegQueryMultiValue", {L"0", cu, c.name, L"true"}), c.joined);
    EXPECT_EQ(Call("RegQueryType64", {L"0", cu, c.name}), std::to_string(c.type));
  }
  // Written through the library: always the text with one terminating zero.
  for (const wchar_t* code : {L"104", L"0", L"999"})
    EXPECT_EQ(Call("SetRegValue", {L"0", cu, code, L"%TEMP%", code}), "1");
  EXPECT_EQ(RawValue(kCU, cu, L"104"), "2:" + Units(L"%TEMP%"));
  EXPECT_EQ(RawValue(kCU, cu, L"0"), "1:" + Units(L"%TEMP%"));
  EXPECT_EQ(RawValue(kCU, cu, L"999"), "1:" + Units(L"%TEMP%"));
  EXPECT_EQ(Call("SetRegValue", {L"0", cu, L"e", L"", L"1"}), "1");
  EXPECT_EQ(RawValue(kCU, cu, L"e"), "1:" + Units(L""));
}

TEST_F(RegKit, DwordValuesAreTheJavaIntsLittleEndian) {
  RawSet(kCU, cu, nullptr, 0, "");
  EXPECT_EQ(Call("SetRegDwordValue", {L"0", cu, L"n", L"4660", L"101"}), "1");
  EXPECT_EQ(RawValue(kCU, cu, L"n"), std::string("4:\x34\x12\0\0", 6));
  EXPECT_EQ(Call("RegQueryDwordValue", {L"0", cu, L"n"}), "4660");
  EXPECT_EQ(Call("SetRegDwordValue", {L"0", cu, L"m", L"-1", L"101"}), "1");
  EXPECT_EQ(RawValue(kCU, cu, L"m"), "4:\xFF\xFF\xFF\xFF");
  EXPECT_EQ(Call("RegQueryDwordValue", {L"0", cu, L"m"}), "-1");
  // Not a number: short text reads as its bytes, longer data as 0.
  RawSet(kCU, cu, L"five", REG_SZ, Units(L"5"));
  EXPECT_EQ(Call("RegQueryDwordValue", {L"0", cu, L"five"}), "53");
  RawSet(kCU, cu, L"long", REG_BINARY, "\x01\x02\x03\x04\x05\x06\x07\x08");
  EXPECT_EQ(Call("RegQueryDwordValue", {L"0", cu, L"long"}), "0");
}

TEST_F(RegKit, EnumerationGivesNamesOutsideAsciiExactly) {
  const std::wstring full = cu + L"\\full", empty = cu + L"\\empty";
  // Created in Windows' enumeration order (values as created, subkeys sorted).
  for (const wchar_t* value : {L"A", L"\x00e9t\x00e9", L"\x03a9mega"})
    RawSet(kCU, full, value, REG_SZ, Units(L"x"));
  for (const wchar_t* sub : {L"plain", L"\x00e4-key", L"\x4e2d"})
    RawSet(kCU, full + L"\\" + sub, nullptr, 0, "");
  RawSet(kCU, empty, nullptr, 0, "");
  EXPECT_EQ(Call("valuesForKey64", {L"0", full}), List({L"A", L"\x00e9t\x00e9", L"\x03a9mega"}));
  EXPECT_EQ(Call("childrenForKey64", {L"0", full}), List({L"plain", L"\x00e4-key", L"\x4e2d"}));
  for (const char* method :
       {"valuesForKey64", "valuesForKey32", "childrenForKey64", "childrenForKey32"}) {
    EXPECT_EQ(Call(method, {L"0", empty}), "[]") << method;
    EXPECT_EQ(Call(method, {L"0", cu + L"\\missing"}), "null") << method;
  }
}

TEST_F(RegKit, KeyWithSubkeysIsRefusedByKeyDeletionAndRemovedByTreeDeletion) {
  const std::wstring tree = cu + L"\\tree";
  RawSet(kCU, tree + L"\\sub", L"v", REG_SZ, Units(L"x"));
  EXPECT_EQ(Call("DelRegKeyWOW64Bit", {L"0", tree}), "0");
  EXPECT_EQ(Call("DelRegKey32BitOS", {L"0", tree}), "0");
  EXPECT_TRUE(RawKey(kCU, tree + L"\\sub"));
  EXPECT_EQ(Call("DelRegTree", {L"0", tree}), "1");
  EXPECT_FALSE(RawKey(kCU, tree));
  EXPECT_EQ(Call("DelRegTree", {L"0", tree}), "0");
  EXPECT_TRUE(RawKey(kCU, cu));
}

}  // namespace
}  // namespace regkit_test
