// The operations on a scripted registry: what Wine cannot produce (access
// refused on a readable key, a value that changes between its size query
// and its read), and the guards that keep bad input from reaching Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "codes.h"
#include "fake_registry.h"
#include "operations.h"
#include "wttest/jnihost.h"

namespace regkit_test {
namespace {

using namespace regkit;

std::string Units(const std::wstring& text, bool terminated) {
  std::string bytes(reinterpret_cast<const char*>(text.c_str()),
                    (text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
  return bytes;
}

class RegKitUnit : public testing::Test {
 protected:
  void TearDown() override {
    EXPECT_EQ(f.opens, f.closes);
    EXPECT_EQ(host.OutstandingChars(), 0);
  }
  jstring S(const wchar_t* text) { return host.NewJavaString(text); }
  FakeRegistry f;
  wttest::JniHost host;
  JNIEnv* env = host.env();
  const Platform& p = f.table();
};

TEST(Codes, RootAndTypeCodesMapAsTheJavaSideNumbersThem) {
  EXPECT_EQ(RootKeyValue(1), kClassesRoot);
  EXPECT_EQ(RootKeyValue(2), kCurrentConfig);
  EXPECT_EQ(RootKeyValue(8), kLocalMachine);
  EXPECT_EQ(RootKeyValue(16), kUsers);
  for (int code : {0, 3, 7, 9, 15, 17, 32, -1, -8}) EXPECT_EQ(RootKeyValue(code), kCurrentUser);
  const std::uint32_t types[] = {3, 4, 4, 5, 2, 6, 7, 0, 8};
  for (int code = 100; code <= 108; ++code) EXPECT_EQ(RegTypeFromCode(code), types[code - 100]);
  for (int code : {0, 1, 99, 109, 999, -100}) EXPECT_EQ(RegTypeFromCode(code), 1u);
}

TEST_F(RegKitUnit, NullStringGivesTheFailureResultWithoutAnyWindowsCall) {
  jstring s = S(L"Software\\x");
  EXPECT_EQ(host.Text(getRegValue(p, env, 0, nullptr, s, true, 0)), L"");
  EXPECT_EQ(host.Text(getRegValue(p, env, 0, s, nullptr, true, L'\n')), L"");
  EXPECT_EQ(getRegDwordValue(p, env, 0, s, nullptr, true), 0);
  EXPECT_EQ(getRegType(p, env, 0, nullptr, s, false), 0);
  EXPECT_EQ(regKeyExists(p, env, 0, nullptr, true), 0);
  EXPECT_EQ(CreateRegKey(p, env, 0, nullptr, false), 0);
  EXPECT_EQ(valuesForKey(p, env, 0, nullptr, true), nullptr);
  EXPECT_EQ(childrenForKey(p, env, 0, nullptr, true), nullptr);
  EXPECT_EQ(setRegValue(p, env, 0, s, s, nullptr, 1, true), 0);
  EXPECT_EQ(setRegDwordValue(p, env, 0, s, nullptr, 1, 101, true), 0);
  EXPECT_EQ(DelRegkeyValue(p, env, 0, s, nullptr, false), 0);
  EXPECT_EQ(deleteRegKey(p, env, 0, nullptr, kDelete64), 0);
  EXPECT_EQ(DelRegTree(p, env, 0, nullptr), 0);
  EXPECT_TRUE(f.calls.empty());
  EXPECT_TRUE(f.lines.empty());
}

TEST_F(RegKitUnit, StringTheVmRefusesEndsTheMethodWithNoFurtherJniOrWindowsCall) {
  jstring s[3];
  // Each method over its string arguments s[0..n); true for its failure result.
  const std::pair<int, std::function<bool()>> methods[] = {
      {2, [&] { return getRegValue(p, env, 0, s[0], s[1], true, 0) == nullptr; }},
      {2, [&] { return getRegDwordValue(p, env, 0, s[0], s[1], true) == 0; }},
      {2, [&] { return getRegType(p, env, 0, s[0], s[1], false) == 0; }},
      {1, [&] { return regKeyExists(p, env, 0, s[0], true) == 0; }},
      {1, [&] { return CreateRegKey(p, env, 0, s[0], false) == 0; }},
      {1, [&] { return valuesForKey(p, env, 0, s[0], true) == nullptr; }},
      {1, [&] { return childrenForKey(p, env, 0, s[0], true) == nullptr; }},
      {3, [&] { return setRegValue(p, env, 0, s[0], s[1], s[2], 1, true) == 0; }},
      {2, [&] { return setRegDwordValue(p, env, 0, s[0], s[1], 1, 101, true) == 0; }},
      {2, [&] { return DelRegkeyValue(p, env, 0, s[0], s[1], false) == 0; }},
      {1, [&] { return deleteRegKey(p, env, 0, s[0], kDelete64) == 0; }},
      {1, [&] { return DelRegTree(p, env, 0, s[0]) == 0; }},
  };
  // A VM may refuse without throwing (native memory exhausted): the Java
  // caller gets an OutOfMemoryError either way.
  for (const auto& [count, method] : methods) {
    for (int refused = 0; refused < 2 * count; ++refused) {
      for (jstring& text : s) text = S(L"Software\\x");
      host.FailStringChars(s[refused % count], refused < count);
      const int taken = host.CharsTaken();
      EXPECT_TRUE(method());
      EXPECT_EQ(host.CharsTaken() - taken, refused % count + 1);  // none after the refused one
      EXPECT_EQ(host.PendingException(), "java/lang/OutOfMemoryError");
      EXPECT_TRUE(host.Errors().empty()) << host.Errors().front();
      host.ClearException();
    }
  }
  EXPECT_TRUE(f.calls.empty());
  EXPECT_TRUE(f.lines.empty());
}

TEST_F(RegKitUnit, DelRegTreeRefusesToEmptyTheRootItself) {
  EXPECT_EQ(DelRegTree(p, env, 0, S(L"")), 0);
  EXPECT_EQ(DelRegTree(p, env, 8, S(L"\\\\")), 0);
  EXPECT_TRUE(f.calls.empty());
}

TEST_F(RegKitUnit, CreateOnAReadableKeyThatRefusesWritingPrintsBothCodes) {
  f.open = [](REGSAM access) { return LONG{access == 0x20119 ? 0 : ERROR_ACCESS_DENIED}; };
  f.create = ERROR_ACCESS_DENIED;
  EXPECT_EQ(CreateRegKey(p, env, 8, S(L"SOFTWARE\\Locked"), true), 0);
  EXPECT_EQ(f.lines, (std::vector<std::wstring>{
                         L"INFO: CreateRegKey::RegOpenKeyExWg SOFTWARE\\Locked returns 5\n",
                         L"INFO: CreateRegKey::RegCreateKeyExW SOFTWARE\\Locked returns 5\n"}));
  EXPECT_EQ(regKeyExists(p, env, 8, S(L"SOFTWARE\\Locked"), true), 1);
}

// A value as the size query, then each read, finds it.
struct ChangingValue {
  const char* name;
  std::vector<std::optional<std::string>> data;
  const wchar_t* text;
  int reads;            // queries after the size query
  const wchar_t* line;  // the message, or null
};

class ValueReadTest : public RegKitUnit, public testing::WithParamInterface<ChangingValue> {};

TEST_P(ValueReadTest, ReturnsOnlyWhatTheLastReadReturned) {
  const ChangingValue& c = GetParam();
  f.data = c.data;
  jstring text = getRegValue(p, env, 0, S(L"Software\\k"), S(L"v"), true, 0);
  EXPECT_EQ(host.Text(text), c.text);
  EXPECT_EQ(std::count(f.calls.begin(), f.calls.end(), "RegQueryValueExW"), 1 + c.reads);
  EXPECT_EQ(f.lines, c.line ? std::vector<std::wstring>{c.line} : std::vector<std::wstring>{});
}

const std::string kShort = Units(L"ab", true), kLong = Units(L"abcdef", true);

// A read that fails after the size query (the value kept growing, or went)
// gives "" without a line.
INSTANTIATE_TEST_SUITE_P(
    Changes, ValueReadTest,
    testing::Values(ChangingValue{"Steady", {kLong}, L"abcdef", 1, nullptr},
                    ChangingValue{"GrewOnce", {kShort, kLong}, L"abcdef", 2, nullptr},
                    ChangingValue{
                        "KeepsGrowing",
                        {kShort, Units(L"abc", true), Units(L"abcd", true), Units(L"abcde", true)},
                        L"",
                        3,
                        nullptr},
                    ChangingValue{"ShrankUnterminated",
                                  {Units(L"abcdef", false), Units(L"ab", false)},
                                  L"ab",
                                  1,
                                  nullptr},
                    ChangingValue{"OddByteCount", {std::string("a\0b", 3)}, L"ab", 1, nullptr},
                    ChangingValue{"VanishedBeforeTheRead", {kLong, std::nullopt}, L"", 1, nullptr}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegKitUnit, DwordReadThatFailsReturnsZeroNotTheBuffer) {
  f.data = {std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)};
  EXPECT_EQ(getRegDwordValue(p, env, 0, S(L"Software\\k"), S(L"v"), true), 0);
  EXPECT_EQ(f.lines,
            std::vector<std::wstring>{
                L"INFO: getRegDwordValue::RegQueryValueExW for Software\\k:v returns 234\n"});
}

TEST_F(RegKitUnit, KeyDeletionInAViewFailsWhereRegDeleteKeyExWIsMissing) {
  EXPECT_EQ(deleteRegKey(p, env, 0, S(L"Software\\a"), kDelete32), 1);
  f.hasDeleteKeyEx = false;
  EXPECT_EQ(deleteRegKey(p, env, 0, S(L"Software\\b"), kDelete64), 0);
  EXPECT_EQ(deleteRegKey(p, env, 0, S(L"Software\\c"), kOwnView), 1);
  EXPECT_EQ(f.deletions, (std::vector<std::wstring>{L"RegDeleteKeyExW Software\\a 512",
                                                    L"RegDeleteKeyW Software\\c"}));
}

}  // namespace
}  // namespace regkit_test
