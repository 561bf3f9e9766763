// String conversion between Java and native text, against the JNI host.
#include <gtest/gtest.h>

#include <cwchar>
#include <string>
#include <thread>

#include "jnisupport/jnisupport.h"
#include "wttest/jnihost.h"

using jnisupport::JStringToWide;
using jnisupport::WideText;

namespace {

struct ToWideCase {
  const char* name;
  std::wstring java;
  std::wstring native;
};

class JStringToWideTest : public testing::TestWithParam<ToWideCase> {};

TEST_P(JStringToWideTest, CopiesTextUpToTheFirstZeroAndHandsCharactersBack) {
  wttest::JniHost host;
  WideText wide(JStringToWide(host.env(), host.NewJavaString(GetParam().java)));
  ASSERT_TRUE(wide);
  EXPECT_EQ(std::wstring(wide.get()), GetParam().native);
  EXPECT_EQ(host.CharsTaken(), 1);
  EXPECT_EQ(host.OutstandingChars(), 0);
  EXPECT_TRUE(host.Errors().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, JStringToWideTest,
    testing::Values(ToWideCase{"Empty", L"", L""},
                    ToWideCase{"Ascii", L"C:\\x\\y.txt", L"C:\\x\\y.txt"},
                    ToWideCase{"EmbeddedZero", std::wstring(L"ab\0cd", 5), L"ab"},
                    ToWideCase{"LeadingZero", std::wstring(L"\0x", 2), L""},
                    ToWideCase{"NonAscii", L"C:\\Gr\u00fc\u00dfe\\\u65e5\u672c\\\U0001F600",
                               L"C:\\Gr\u00fc\u00dfe\\\u65e5\u672c\\\U0001F600"},
                    ToWideCase{"Long", std::wstring(40000, L'x'), std::wstring(40000, L'x')}),
    [](const testing::TestParamInfo<ToWideCase>& info) { return info.param.name; });

TEST(JStringToWide, NullStringGivesNullWithoutAnyJniCall) {
  wttest::JniHost host;
  EXPECT_EQ(JStringToWide(host.env(), nullptr), nullptr);
  EXPECT_EQ(host.CharsTaken(), 0);
  EXPECT_TRUE(host.Errors().empty());
}

TEST(JStringToWide, FailedAllocationGivesNullAndReleasesTheCharacters) {
  wttest::JniHost host;
  auto failing = [](std::size_t) -> void* { return nullptr; };
  EXPECT_EQ(JStringToWide(host.env(), host.NewJavaString(L"abc"), failing), nullptr);
  EXPECT_EQ(host.CharsTaken(), 1);
  EXPECT_EQ(host.OutstandingChars(), 0);
}

TEST(JStringToWide, AllocatesTwoBytesPerUnitPlusTheTerminator) {
  wttest::JniHost host;
  static std::size_t requested;
  auto recording = [](std::size_t n) -> void* {
    requested = n;
    return std::malloc(n);
  };
  WideText wide(JStringToWide(host.env(), host.NewJavaString(L"abcde"), recording));
  EXPECT_EQ(requested, 12u);
}

TEST(WideToJString, MakesAStringOfTheTextUpToItsTerminator) {
  wttest::JniHost host;
  const wchar_t text[] = L"C:\\PROGRA~1\\\u00e9";
  EXPECT_EQ(host.Text(jnisupport::WideToJString(host.env(), text)), std::wstring(text));
  EXPECT_EQ(host.Text(jnisupport::WideToJString(host.env(), L"")), std::wstring());
  EXPECT_EQ(jnisupport::WideToJString(host.env(), nullptr), nullptr);
}

TEST(NarrowToJString, HandsTheBytesOverUnchanged) {
  wttest::JniHost host;
  jstring s = jnisupport::NarrowToJString(host.env(), "6.1.1.0.256.1.9.48");
  EXPECT_EQ(host.Utf(s), std::string("6.1.1.0.256.1.9.48"));
  // An ANSI byte above 0x7F goes to the VM as it is (not re-encoded).
  jstring ansi = jnisupport::NarrowToJString(host.env(), "PC-\xe9");
  EXPECT_EQ(host.Utf(ansi), std::string("PC-\xe9"));
  EXPECT_EQ(jnisupport::NarrowToJString(host.env(), nullptr), nullptr);
}

TEST(NewJavaStringArray, LooksUpTheStringClassAndLeavesElementsNull) {
  wttest::JniHost host;
  jobjectArray array = jnisupport::NewJavaStringArray(host.env(), 3);
  ASSERT_NE(array, nullptr);
  EXPECT_EQ(host.FoundClasses(), std::vector<std::string>{"Ljava/lang/String;"});
  host.env()->SetObjectArrayElement(array, 1, jnisupport::NarrowToJString(host.env(), "b"));
  auto elements = host.StringArray(array);
  ASSERT_TRUE(elements);
  ASSERT_EQ(elements->size(), 3u);
  EXPECT_FALSE((*elements)[0]);
  EXPECT_EQ((*elements)[1], std::wstring(L"b"));
  EXPECT_FALSE((*elements)[2]);
  EXPECT_TRUE(host.Errors().empty());
}

TEST(NewJavaStringArray, EmptyAndNegativeLengths) {
  wttest::JniHost host;
  jobjectArray empty = jnisupport::NewJavaStringArray(host.env(), 0);
  ASSERT_TRUE(host.StringArray(empty));
  EXPECT_TRUE(host.StringArray(empty)->empty());
  EXPECT_EQ(jnisupport::NewJavaStringArray(host.env(), -1), nullptr);
}

// The host's own bookkeeping, which the tests above rely on.
TEST(JniHost, ReportsCharactersReleasedTwiceOrNeverTaken) {
  wttest::JniHost host;
  jstring s = host.NewJavaString(L"abc");
  const jchar* chars = host.env()->GetStringChars(s, nullptr);
  EXPECT_EQ(host.OutstandingChars(), 1);
  host.env()->ReleaseStringChars(s, chars);
  EXPECT_TRUE(host.Errors().empty());
  host.env()->ReleaseStringChars(s, chars);
  const jchar other[] = {'x', 0};
  host.env()->ReleaseStringChars(s, other);
  EXPECT_EQ(host.Errors().size(), 2u);
  EXPECT_EQ(host.OutstandingChars(), 0);
}

// A VM's rules the host keeps: in a native method's frame 16 local
// references unless more are asked for; a reference only on its own thread.
TEST(JniHost, CountsLocalReferencesPerFrameAndKeepsThemToTheirThread) {
  wttest::JniHost host;
  JNIEnv* env = host.env();
  host.EnterNative();
  ASSERT_EQ(env->EnsureLocalCapacity(20), 0);
  for (int i = 0; i < 20; ++i) env->NewStringUTF("x");
  EXPECT_TRUE(host.Errors().empty()) << host.Errors().front();
  jstring last = env->NewStringUTF("x");
  EXPECT_EQ(host.Errors().size(), 1u);
  host.LeaveNative(last);
  if (sizeof(void*) == 4) return;  // threads of emulated 32-bit processes are unreliable
  std::thread([&] { host.env()->GetStringLength(last); }).join();
  EXPECT_EQ(host.Errors().size(), 2u);
}

}  // namespace
