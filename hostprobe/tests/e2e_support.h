// The real libHostProbe.dll of this build in the JNI test host, and the
// files the end-to-end tests make.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <string>

#include "wttest/jnihost.h"

namespace hostprobe_e2e {

using OptText = std::optional<std::wstring>;

// Calls the exports of the loaded DLL the way a Java VM would. A null
// argument (nullopt) is a null Java string.
class Probe {
 public:
  explicit Probe(wttest::JniHost& host);
  static const wttest::JniLibrary& Library();

  OptText Text(const char* method);
  jint Int(const char* method);
  jlong Long(const char* method);
  jint Int(const char* method, const OptText& a);
  jint Int(const char* method, const OptText& a, const OptText& b);
  jint MoveFileEx(const OptText& from, const OptText& to, jint flags);
  OptText GetShortPath(const OptText& path);

 private:
  jstring J(const OptText& s);
  wttest::JniHost& host_;
};

// A folder of its own under the temporary folder, removed with everything in
// it (long paths included) at the end of the test.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  const std::wstring& path() const { return path_; }
  std::wstring operator/(const std::wstring& name) const { return path_ + L"\\" + name; }

 private:
  std::wstring path_;
};

bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::optional<std::string> ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
// Removes a folder tree; path may carry the \\?\ prefix.
void RemoveTree(const std::wstring& path);

// Another process holding path open (read access, read/write sharing, no
// delete sharing) until the object is destroyed.
class FileHolder {
 public:
  explicit FileHolder(const std::wstring& path);
  ~FileHolder();
  bool holding() const { return holding_; }

 private:
  HANDLE process_ = nullptr;
  HANDLE ready_ = nullptr;
  HANDLE release_ = nullptr;
  bool holding_ = false;
};

// A test with the DLL loaded and a fresh JNI host, which must end with every
// string's characters handed back and no JNI misuse.
class HostProbeTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Probe::Library().loaded()) << "LoadLibraryW error " << Probe::Library().loadError();
  }
  void TearDown() override {
    EXPECT_EQ(host.OutstandingChars(), 0);
    EXPECT_TRUE(host.Errors().empty()) << host.Errors().front();
  }
  wttest::JniHost host;
  Probe probe{host};
};

// Runs a program of this build and returns its exit code and the bytes it
// wrote, standard output followed by standard error.
struct Captured {
  bool started = false;
  DWORD exitCode = 0;
  std::string out;
};
Captured RunCapturingOutput(const std::wstring& program, std::initializer_list<std::wstring> args);

// True in a 32-bit test under Wine, which may be running on a Linux kernel
// that runs no 32-bit code itself, where qemu's user-mode emulator runs
// Wine's 32-bit half. Its emulation of threads breaks multithreaded 32-bit
// programs at random, so tests that need threads of their own run in the
// 64-bit build there.
bool X86EmulatedByQemu();

// An outline TrueType font of the build machine (WT_TEST_FONT), or empty.
std::wstring TestFontSource();

// Writes a copy of the test font under a family name of its own to path.
// Wine already knows the build machine's fonts by name and ignores a file
// that adds a face it has (so removing it fails): each copy gets a name no
// other font has. False when there is no test font.
bool WriteUniqueTestFont(const std::wstring& path);

}  // namespace hostprobe_e2e
