// File operations through the scripted platform: the redirection switch and
// its failures, the short-path retry, the lock probe's error mapping.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fake_platform.h"
#include "operations.h"
#include "wttest/jnihost.h"

namespace {

using hostprobe_test::FakePlatform;

// One scripted run of Copy64NoRedirect or Delete64NoRedirect, in a process
// of the given bitness (the cases of the other one do not apply).
struct RedirectCase {
  int bits;
  const char* name;
  BOOL wow64;
  bool kernel32, disable, revert;
  bool disableFails, revertFails;
  BOOL actionResult;
  jint result;
  bool acted;              // the copy/delete ran
  bool switchedOffDuring;  // with redirection off
  bool leftOff;            // redirection still off afterwards
};

const RedirectCase kAllRedirectCases[] = {
    // 32-bit Windows: no 64-bit system folder to reach.
    {32, "NotWow64", FALSE, true, true, true, false, false, TRUE, 1, false, false, false},
    {32, "NoKernel32", TRUE, false, true, true, false, false, TRUE, 1, false, false, false},
    {32, "NoDisable", TRUE, true, false, true, false, false, TRUE, 1, false, false, false},
    {32, "DisableFails", TRUE, true, true, true, true, false, TRUE, 0, false, false, false},
    {32, "Succeeds", TRUE, true, true, true, false, false, TRUE, 1, true, true, false},
    {32, "ActionFails", TRUE, true, true, true, false, false, FALSE, 0, true, true, false},
    {32, "RevertFails", TRUE, true, true, true, false, true, TRUE, 0, true, true, true},
    {32, "NoRevert", TRUE, true, true, false, false, false, TRUE, 1, true, true, true},
    // A 64-bit process: the system folder is its own; the real outcome counts.
    {64, "Plain", FALSE, true, true, true, false, false, TRUE, 1, true, false, false},
    {64, "PlainActionFails", FALSE, true, true, true, false, false, FALSE, 0, true, false, false},
};

std::vector<RedirectCase> RedirectCasesOfThisProcess() {
  std::vector<RedirectCase> cases;
  for (const RedirectCase& c : kAllRedirectCases) {
    if (c.bits == static_cast<int>(sizeof(void*) * 8)) cases.push_back(c);
  }
  return cases;
}

class RedirectTest : public testing::TestWithParam<RedirectCase> {
 protected:
  void Script(FakePlatform& f) {
    const RedirectCase& c = GetParam();
    f.wow64 = c.wow64;
    f.hasKernel32 = c.kernel32;
    f.hasWow64Disable = c.disable;
    f.hasWow64Revert = c.revert;
    f.disableFails = c.disableFails;
    f.revertFails = c.revertFails;
  }
  void Check(FakePlatform& f, wttest::JniHost& host, jint result, size_t actions) {
    const RedirectCase& c = GetParam();
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(actions, c.acted ? 1u : 0u);
    if (c.acted) {
      EXPECT_EQ(f.redirectionOffAtAction.at(0), c.switchedOffDuring);
    }
    EXPECT_EQ(f.redirectionOff, c.leftOff);
    EXPECT_EQ(host.OutstandingChars(), 0);
  }
};

TEST_P(RedirectTest, Copy) {
  FakePlatform f;
  Script(f);
  f.copyResult = GetParam().actionResult;
  wttest::JniHost host;
  jint r = hostprobe::Copy64NoRedirect(f.table(), host.env(), host.NewJavaString(L"C:\\a.dll"),
                                       host.NewJavaString(L"C:\\windows\\system32\\a.dll"));
  Check(f, host, r, f.copies.size());
  if (!f.copies.empty()) {
    EXPECT_EQ(f.copies[0], L"C:\\a.dll|C:\\windows\\system32\\a.dll|0");
  }
}

TEST_P(RedirectTest, Delete) {
  FakePlatform f;
  Script(f);
  f.deleteResult = GetParam().actionResult;
  wttest::JniHost host;
  jint r = hostprobe::Delete64NoRedirect(f.table(), host.env(),
                                         host.NewJavaString(L"C:\\windows\\system32\\a.dll"));
  Check(f, host, r, f.deletes.size());
}

INSTANTIATE_TEST_SUITE_P(Paths, RedirectTest, testing::ValuesIn(RedirectCasesOfThisProcess()),
                         [](const testing::TestParamInfo<RedirectCase>& i) {
                           return i.param.name;
                         });

TEST(NullArguments, FailWithoutAnyWindowsCall) {
  FakePlatform f;
  f.wow64 = TRUE;
  wttest::JniHost host;
  jstring s = host.NewJavaString(L"C:\\x");
  const hostprobe::Platform& p = f.table();
  EXPECT_EQ(hostprobe::Copy64NoRedirect(p, host.env(), nullptr, s), 0);
  EXPECT_EQ(hostprobe::Copy64NoRedirect(p, host.env(), s, nullptr), 0);
  EXPECT_EQ(hostprobe::Delete64NoRedirect(p, host.env(), nullptr), 0);
  EXPECT_EQ(hostprobe::MoveWithFlags(p, host.env(), nullptr, s, 1), 0);
  EXPECT_EQ(hostprobe::MoveWithFlags(p, host.env(), s, nullptr, 1), 0);
  EXPECT_EQ(hostprobe::GetShortPath(p, host.env(), nullptr), nullptr);
  EXPECT_EQ(hostprobe::IsFileWriteLocked(p, host.env(), nullptr), 0);
  // A first string the VM refuses, with or without throwing, ends the call
  // with an OutOfMemoryError pending: the second is not touched, no JNI call
  // is made with the exception pending (the host's Errors).
  jstring refused = host.NewJavaString(L"C:\\y"), quiet = host.NewJavaString(L"C:\\z");
  host.FailStringChars(refused);
  host.FailStringChars(quiet, false);
  const int taken = host.CharsTaken();
  for (jstring r : {refused, quiet}) {
    EXPECT_EQ(hostprobe::Copy64NoRedirect(p, host.env(), r, s), 0);
    EXPECT_EQ(host.PendingException(), "java/lang/OutOfMemoryError");
    host.ClearException();
    EXPECT_EQ(hostprobe::GetShortPath(p, host.env(), r), nullptr);
    EXPECT_EQ(host.PendingException(), "java/lang/OutOfMemoryError");
    host.ClearException();
  }
  EXPECT_EQ(host.CharsTaken() - taken, 4);
  EXPECT_TRUE(f.calls.empty()) << f.calls.front();
  // The font calls fail too, and still announce a font change: nothing else.
  EXPECT_EQ(hostprobe::RegisterFont(p, host.env(), nullptr), 0);
  EXPECT_EQ(hostprobe::UnregisterFont(p, host.env(), nullptr), 0);
  EXPECT_EQ(f.calls, (std::vector<std::string>{"PostMessageA", "PostMessageA"}));
  EXPECT_EQ(host.OutstandingChars(), 0);
  EXPECT_TRUE(host.Errors().empty());
}

TEST(MoveFileEx, PassesTheFlagsUnchanged) {
  FakePlatform f;
  wttest::JniHost host;
  EXPECT_EQ(hostprobe::MoveWithFlags(f.table(), host.env(), host.NewJavaString(L"C:\\a"),
                                     host.NewJavaString(L"C:\\b"), 0xF),
            1);
  f.moveResult = FALSE;
  EXPECT_EQ(hostprobe::MoveWithFlags(f.table(), host.env(), host.NewJavaString(L"C:\\a"),
                                     host.NewJavaString(L"C:\\b"), 0),
            0);
  EXPECT_EQ(f.moves, (std::vector<std::wstring>{L"C:\\a|C:\\b|15", L"C:\\a|C:\\b|0"}));
  EXPECT_EQ(f.Count("Wow64DisableWow64FsRedirection"), 0);
}

// Answers GetShortPathNameW like Windows: the size with the terminator when
// the buffer is too small, else the length without it.
DWORD Answer(const std::wstring& shortPath, LPWSTR buffer, DWORD size) {
  const DWORD length = static_cast<DWORD>(shortPath.size());
  if (!buffer || size <= length) return length + 1;
  std::memcpy(buffer, shortPath.c_str(), (length + 1) * sizeof(wchar_t));
  return length;
}

TEST(GetShortPath, AsksForTheSizeThenTheName) {
  FakePlatform f;
  f.shortPathName = [](LPCWSTR, LPWSTR b, DWORD n) { return Answer(L"C:\\PROGRA~1\\x", b, n); };
  wttest::JniHost host;
  EXPECT_EQ(host.Text(hostprobe::GetShortPath(f.table(), host.env(),
                                              host.NewJavaString(L"C:\\Program Files\\x"))),
            std::wstring(L"C:\\PROGRA~1\\x"));
  EXPECT_EQ(f.Count("GetShortPathNameW"), 2);
}

TEST(GetShortPath, MissingPathIsNull) {
  FakePlatform f;
  wttest::JniHost host;
  EXPECT_EQ(hostprobe::GetShortPath(f.table(), host.env(), host.NewJavaString(L"C:\\none")),
            nullptr);
  EXPECT_EQ(f.Count("GetShortPathNameW"), 1);
}

TEST(GetShortPath, PathGrowingBetweenTheCallsIsAskedForOnceMore) {
  FakePlatform f;
  int call = 0;
  f.shortPathName = [&call](LPCWSTR, LPWSTR b, DWORD n) {
    ++call;
    return Answer(call == 1 ? L"C:\\A" : L"C:\\LONGER~1\\B", b, n);
  };
  wttest::JniHost host;
  EXPECT_EQ(host.Text(hostprobe::GetShortPath(f.table(), host.env(), host.NewJavaString(L"x"))),
            std::wstring(L"C:\\LONGER~1\\B"));
  EXPECT_EQ(call, 3);
}

TEST(GetShortPath, PathThatKeepsGrowingIsNull) {
  FakePlatform f;
  int call = 0;
  f.shortPathName = [&call](LPCWSTR, LPWSTR b, DWORD n) {
    ++call;
    return Answer(std::wstring(static_cast<size_t>(call) * 10, L'A'), b, n);
  };
  wttest::JniHost host;
  EXPECT_EQ(hostprobe::GetShortPath(f.table(), host.env(), host.NewJavaString(L"x")), nullptr);
  EXPECT_EQ(call, 3);
}

TEST(GetShortPath, FailingSecondCallIsNull) {
  FakePlatform f;
  int call = 0;
  f.shortPathName = [&call](LPCWSTR, LPWSTR, DWORD) -> DWORD { return ++call == 1 ? 8 : 0; };
  wttest::JniHost host;
  EXPECT_EQ(hostprobe::GetShortPath(f.table(), host.env(), host.NewJavaString(L"x")), nullptr);
}

TEST(IsFileWriteLocked, OnlyAMissingFileIsNotLocked) {
  const struct {
    DWORD error;
    jint locked;
  } cases[] = {{ERROR_FILE_NOT_FOUND, 0}, {ERROR_SHARING_VIOLATION, 1},
               {ERROR_ACCESS_DENIED, 1},  {ERROR_PATH_NOT_FOUND, 1},
               {ERROR_INVALID_NAME, 1},   {ERROR_FILENAME_EXCED_RANGE, 1}};
  for (const auto& c : cases) {
    FakePlatform f;
    f.createFileError = c.error;
    wttest::JniHost host;
    EXPECT_EQ(hostprobe::IsFileWriteLocked(f.table(), host.env(), host.NewJavaString(L"C:\\f")),
              c.locked)
        << c.error;
    EXPECT_EQ(f.createFileArgs,
              std::vector<std::wstring>{L"C:\\f|65536|0|3|128"});  // DELETE, no sharing
    EXPECT_TRUE(f.closed.empty());
  }
}

TEST(IsFileWriteLocked, OpenedFileIsClosedAndFree) {
  FakePlatform f;
  f.createFileResult = reinterpret_cast<HANDLE>(0x88);
  wttest::JniHost host;
  EXPECT_EQ(hostprobe::IsFileWriteLocked(f.table(), host.env(), host.NewJavaString(L"C:\\f")), 0);
  EXPECT_EQ(f.closed, std::vector<HANDLE>{reinterpret_cast<HANDLE>(0x88)});
  EXPECT_EQ(f.Count("DeleteFileW"), 0);
}

}  // namespace
