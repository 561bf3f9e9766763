// File operations of the real DLL against the real file system.
#include <cwctype>

#include "e2e_support.h"
#include "wttest/platform.h"

namespace hostprobe_e2e {
namespace {

constexpr bool kX86 = sizeof(void*) == 4;

std::wstring WindowsDirectory() {
  wchar_t dir[MAX_PATH];
  const UINT n = GetWindowsDirectoryW(dir, MAX_PATH);
  return std::wstring(dir, n);
}

bool ProcessIsWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// A file in the real 64-bit system folder, removed again at the end.
class SystemFolderFile {
 public:
  SystemFolderFile() : name_(wttest::UniqueName(L"hostprobe_") + L".tmp") {}
  ~SystemFolderFile() {
    DeleteFileW(Native().c_str());
    DeleteFileW(Redirected().c_str());
  }
  // The name a 32-bit process uses with redirection off.
  std::wstring InSystem32() const { return WindowsDirectory() + L"\\system32\\" + name_; }
  // The real 64-bit system folder, seen from a WOW64 process.
  std::wstring Native() const { return WindowsDirectory() + L"\\Sysnative\\" + name_; }
  // Where a WOW64 process's system32 accesses go by default.
  std::wstring Redirected() const { return WindowsDirectory() + L"\\SysWOW64\\" + name_; }

 private:
  std::wstring name_;
};

TEST_F(HostProbeTest, CopyAndDeleteReachTheRealSystemFolderFromWow64) {
  if (!kX86 || !ProcessIsWow64()) GTEST_SKIP() << "a 32-bit build on 64-bit Windows";
  TempFolder temp;
  SystemFolderFile target;
  ASSERT_TRUE(WriteBytes(temp / L"one.bin", "first"));
  ASSERT_TRUE(WriteBytes(temp / L"two.bin", "second"));

  EXPECT_EQ(probe.Int("Copy64NoRedirect", temp / L"one.bin", target.InSystem32()), 1);
  EXPECT_EQ(ReadBytes(target.Native()), std::string("first"));
  EXPECT_FALSE(Exists(target.Redirected()));
  // No fail-if-exists: a second copy replaces the file.
  EXPECT_EQ(probe.Int("Copy64NoRedirect", temp / L"two.bin", target.InSystem32()), 1);
  EXPECT_EQ(ReadBytes(target.Native()), std::string("second"));
  // This thread's own accesses are redirected again afterwards.
  EXPECT_FALSE(Exists(target.InSystem32()));

  EXPECT_EQ(probe.Int("Delete64NoRedirect", target.InSystem32()), 1);
  EXPECT_FALSE(Exists(target.Native()));
  EXPECT_EQ(probe.Int("Delete64NoRedirect", target.InSystem32()), 0);  // gone
  EXPECT_EQ(probe.Int("Copy64NoRedirect", temp / L"missing.bin", target.InSystem32()), 0);
}

// The x64 library in a 64-bit Java VM copies and deletes plainly and tells
// the real outcome.
TEST_F(HostProbeTest, CopyAndDeleteActPlainlyInA64BitProcess) {
  if (sizeof(void*) != 8) GTEST_SKIP() << "a 64-bit process";
  TempFolder temp;
  ASSERT_TRUE(WriteBytes(temp / L"one.bin", "first"));
  EXPECT_EQ(probe.Int("Copy64NoRedirect", temp / L"one.bin", temp / L"copy.bin"), 1);
  EXPECT_EQ(ReadBytes(temp / L"copy.bin"), std::string("first"));
  EXPECT_EQ(probe.Int("Delete64NoRedirect", temp / L"one.bin"), 1);
  EXPECT_FALSE(Exists(temp / L"one.bin"));
  EXPECT_EQ(probe.Int("Copy64NoRedirect", temp / L"one.bin", temp / L"again.bin"), 0);
  EXPECT_EQ(probe.Int("Delete64NoRedirect", temp / L"one.bin"), 0);
}

TEST_F(HostProbeTest, IsFileWriteLocked) {
  TempFolder temp;
  const std::wstring file = temp / L"held.txt";
  ASSERT_TRUE(WriteBytes(file, "content"));
  ASSERT_TRUE(CreateDirectoryW((temp / L"dir").c_str(), nullptr));
  {
    FileHolder holder(file);
    ASSERT_TRUE(holder.holding());
    EXPECT_EQ(probe.Int("IsFileWriteLocked", file), 1);
  }
  EXPECT_EQ(probe.Int("IsFileWriteLocked", file), 0);
  EXPECT_EQ(ReadBytes(file), std::string("content"));  // opened only
  EXPECT_EQ(probe.Int("IsFileWriteLocked", temp / L"missing.txt"), 0);
  EXPECT_EQ(probe.Int("IsFileWriteLocked", temp / L"nofolder\\x.txt"), 1);
  EXPECT_EQ(probe.Int("IsFileWriteLocked", temp / L"dir"), 1);
}

// The long form of a path, as Windows expands it.
std::wstring LongPathOf(const std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetLongPathNameW(path.c_str(), buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::wstring(buffer, n) : std::wstring();
}

bool FitsEightDotThree(const std::wstring& component) {
  const size_t dot = component.find(L'.');
  const std::wstring base = component.substr(0, dot);
  const std::wstring ext = dot == std::wstring::npos ? L"" : component.substr(dot + 1);
  if (base.empty() || base.size() > 8 || ext.size() > 3) return false;
  for (wchar_t c : component)
    if (c == L' ' || std::iswlower(c)) return false;
  return ext.find(L'.') == std::wstring::npos;
}

TEST_F(HostProbeTest, GetShortPath) {
  TempFolder temp;
  const std::wstring folder = temp / L"a folder with a long name";
  const std::wstring file = folder + L"\\a long file name.text";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(file, "x"));

  const OptText shortPath = probe.GetShortPath(file);
  ASSERT_TRUE(shortPath);
  EXPECT_LT(shortPath->size(), file.size());
  // The 8.3 names differ between Windows (LONGFI~1) and Wine: check their
  // shape and that they lead back to the file.
  const std::wstring last = shortPath->substr(shortPath->rfind(L'\\') + 1);
  const std::wstring parent = shortPath->substr(0, shortPath->rfind(L'\\'));
  EXPECT_TRUE(FitsEightDotThree(last)) << wttest::Narrow(last);
  EXPECT_TRUE(FitsEightDotThree(parent.substr(parent.rfind(L'\\') + 1)));
  EXPECT_EQ(_wcsicmp(LongPathOf(*shortPath).c_str(), file.c_str()), 0);

  // A path in short form already comes back as it is.
  const OptText again = probe.GetShortPath(*shortPath);
  EXPECT_EQ(again, shortPath);
  EXPECT_EQ(probe.GetShortPath(temp / L"missing.txt"), std::nullopt);
}

TEST_F(HostProbeTest, MoveFileExFlags) {
  TempFolder temp;
  ASSERT_TRUE(WriteBytes(temp / L"a.txt", "a"));
  ASSERT_TRUE(WriteBytes(temp / L"b.txt", "b"));
  // Flags 0 refuse to replace an existing target; both stay as they were.
  EXPECT_EQ(probe.MoveFileEx(temp / L"a.txt", temp / L"b.txt", 0), 0);
  EXPECT_EQ(ReadBytes(temp / L"a.txt"), std::string("a"));
  EXPECT_EQ(ReadBytes(temp / L"b.txt"), std::string("b"));
  EXPECT_EQ(probe.MoveFileEx(temp / L"a.txt", temp / L"b.txt", MOVEFILE_REPLACE_EXISTING), 1);
  EXPECT_FALSE(Exists(temp / L"a.txt"));
  EXPECT_EQ(ReadBytes(temp / L"b.txt"), std::string("a"));
  EXPECT_EQ(probe.MoveFileEx(temp / L"b.txt", temp / L"c.txt", 0), 1);
  EXPECT_EQ(probe.MoveFileEx(temp / L"missing.txt", temp / L"d.txt", 0), 0);
}

TEST_F(HostProbeTest, NullStringsGiveTheFailureResult) {
  TempFolder temp;
  ASSERT_TRUE(WriteBytes(temp / L"a.txt", "a"));
  EXPECT_EQ(probe.Int("Copy64NoRedirect", std::nullopt, temp / L"b.txt"), 0);
  EXPECT_EQ(probe.Int("Copy64NoRedirect", temp / L"a.txt", std::nullopt), 0);
  EXPECT_EQ(probe.Int("Delete64NoRedirect", std::nullopt), 0);
  EXPECT_EQ(probe.MoveFileEx(std::nullopt, temp / L"b.txt", 1), 0);
  EXPECT_EQ(probe.MoveFileEx(temp / L"a.txt", std::nullopt, 1), 0);
  EXPECT_EQ(probe.GetShortPath(std::nullopt), std::nullopt);
  EXPECT_EQ(probe.Int("IsFileWriteLocked", std::nullopt), 0);
  EXPECT_EQ(probe.Int("registerFont", std::nullopt), 0);
  EXPECT_EQ(probe.Int("unregisterFont", std::nullopt), 0);
  EXPECT_EQ(ReadBytes(temp / L"a.txt"), std::string("a"));
}

TEST_F(HostProbeTest, EmptyStrings) {
  EXPECT_EQ(probe.GetShortPath(L""), std::nullopt);
  EXPECT_EQ(probe.MoveFileEx(L"", L"", 0), 0);
  // The empty name is no file that could be missing: the open fails with
  // "path not found", which counts as locked.
  EXPECT_EQ(probe.Int("IsFileWriteLocked", L""), 1);
  EXPECT_EQ(probe.Int("registerFont", L""), 0);
  EXPECT_EQ(probe.Int("unregisterFont", L""), 1);
  // Under WOW64 and in a 64-bit process alike, deleting no file fails.
  EXPECT_EQ(probe.Int("Delete64NoRedirect", L""), 0);
}

TEST_F(HostProbeTest, PathsOfMaxPathAndLonger) {
  TempFolder temp;
  // A tree deeper than MAX_PATH, made through the \\?\ form.
  std::wstring deep = L"\\\\?\\" + temp.path();
  for (int i = 0; deep.size() < 300; ++i) {
    deep += L"\\" + std::wstring(40, static_cast<wchar_t>(L'a' + i));
    ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr)) << GetLastError();
  }
  const std::wstring file = deep + L"\\file.txt";
  ASSERT_TRUE(WriteBytes(file, "deep"));
  const std::wstring plain = file.substr(4);  // without \\?\ (past MAX_PATH)
  ASSERT_GT(plain.size(), static_cast<size_t>(MAX_PATH));

  EXPECT_EQ(probe.Int("IsFileWriteLocked", file), 0);
  const OptText shortPath = probe.GetShortPath(file);
  ASSERT_TRUE(shortPath);
  EXPECT_EQ(shortPath->rfind(L"\\\\?\\", 0), 0u);
  EXPECT_LT(shortPath->size(), file.size());
  EXPECT_EQ(probe.MoveFileEx(file, deep + L"\\moved.txt", 0), 1);
  EXPECT_EQ(ReadBytes(deep + L"\\moved.txt"), std::string("deep"));

  // A missing file of 260 characters and more without the prefix. (Which
  // code its open fails with differs between Windows, 3 or 206, and Wine, 2:
  // the unit tests map each.)
  const std::wstring tooLong = temp.path() + L"\\" + std::wstring(300, L'x') + L".txt";
  EXPECT_EQ(probe.GetShortPath(tooLong), std::nullopt);
  EXPECT_EQ(probe.MoveFileEx(tooLong, temp / L"x.txt", 0), 0);
  EXPECT_FALSE(Exists(temp / L"x.txt"));
}

TEST_F(HostProbeTest, NamesOutsideAscii) {
  TempFolder temp;
  const std::wstring folder = temp / L"Gr\u00fc\u00dfe \u65e5\u672c\u8a9e folder";
  const std::wstring file = folder + L"\\\u0444\u0430\u0439\u043b \u00e9t\u00e9.txt";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(file, "u"));
  EXPECT_EQ(probe.Int("IsFileWriteLocked", file), 0);
  const OptText shortPath = probe.GetShortPath(file);
  ASSERT_TRUE(shortPath);
  EXPECT_EQ(LongPathOf(*shortPath), file);
  EXPECT_EQ(probe.MoveFileEx(file, folder + L"\\\u00e4\u00f6\u00fc.txt", 0), 1);
  EXPECT_EQ(ReadBytes(folder + L"\\\u00e4\u00f6\u00fc.txt"), std::string("u"));
}

}  // namespace
}  // namespace hostprobe_e2e
