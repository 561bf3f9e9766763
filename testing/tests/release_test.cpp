// A signed release against the unsigned files in dist/ it was made from
// (testing/release/signed_release.sh signs and packs them first): every file
// carries a signature, the version the release is named after is the one
// its version resources give, and each program and DLL does under a real
// loader exactly what its unsigned copy does.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "wt/owned.h"
#include "wttest/pe.h"
#include "wttest/platform.h"
#include "wttest/process.h"
#include "wttest/version.h"

namespace {

std::wstring Environment(const wchar_t* name) {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
  return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer) : std::wstring();
}

// Names in a folder matching pattern ("*.exe"): files, or else subfolders.
std::vector<std::wstring> Names(const std::wstring& folder, const wchar_t* pattern, bool folders) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  wt::Owned find(::FindClose, FindFirstFileW((folder + L"\\" + pattern).c_str(), &data));
  if (!find) return names;
  do {
    const bool isFolder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder == folders && data.cFileName[0] != L'.') names.push_back(data.cFileName);
  } while (FindNextFileW(find.get(), &data));
  return names;
}

// One architecture's part of the release: the folder <name>-<version>-<arch>
// that its archive unpacks to.
struct Part {
  std::wstring path, name, version, arch;
  std::vector<std::wstring> files;  // its programs and DLLs
};

std::vector<Part> ReleaseParts() {
  std::vector<Part> parts;
  const std::wstring root = Environment(L"WT_RELEASE_DIR");
  for (const std::wstring& folder : Names(root, L"*", true)) {
    const size_t archDash = folder.rfind(L'-');
    if (archDash == std::wstring::npos || archDash == 0) continue;
    const size_t versionDash = folder.rfind(L'-', archDash - 1);
    if (versionDash == std::wstring::npos) continue;
    Part p{root + L"\\" + folder,
           folder.substr(0, versionDash),
           folder.substr(versionDash + 1, archDash - versionDash - 1),
           folder.substr(archDash + 1),
           {}};
    for (const wchar_t* pattern : {L"*.exe", L"*.dll"}) {
      for (const std::wstring& file : Names(p.path, pattern, false)) p.files.push_back(file);
    }
    parts.push_back(p);
  }
  return parts;
}

std::string FirstLine(const std::wstring& path) {
  std::ifstream f(path.c_str(), std::ios::binary);
  std::string line;
  std::getline(f, line);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

class Release : public ::testing::Test {
 protected:
  void SetUp() override {
    if (Environment(L"WT_RELEASE_DIR").empty()) GTEST_SKIP() << "WT_RELEASE_DIR is not set";
    parts_ = ReleaseParts();
    ASSERT_EQ(parts_.size(), 2u) << "one folder per architecture";
    dist_ = Environment(L"WT_DIST_ROOT");
    ASSERT_FALSE(dist_.empty()) << "WT_DIST_ROOT is not set";
  }
  std::wstring Unsigned(const Part& p, const std::wstring& file) const {
    return dist_ + L"\\" + p.arch + L"\\" + file;
  }
  std::vector<Part> parts_;
  std::wstring dist_;
};

TEST_F(Release, ItsVersionIsTheOneEveryVersionResourceGivesAndEveryFileIsSigned) {
  for (const Part& p : parts_) {
    SCOPED_TRACE(wttest::Narrow(p.path));
    EXPECT_EQ(p.name, WT_PROJECT_NAME);
    EXPECT_EQ(p.version, WT_PROJECT_VERSION);
    EXPECT_EQ(FirstLine(p.path + L"\\RELEASE.txt"),
              wttest::Narrow(p.name + L" " + p.version + L" for Windows " + p.arch));
    EXPECT_EQ(p.files.size(), Names(dist_ + L"\\" + p.arch, L"*", false).size())
        << "every installed file, nothing else";
    for (const std::wstring& file : p.files) {
      SCOPED_TRACE(wttest::Narrow(file));
      const std::wstring path = p.path + L"\\" + file;
      const wttest::VersionInfo v = wttest::ReadVersion(path);
      const wttest::VersionInfo u = wttest::ReadVersion(Unsigned(p, file));
      ASSERT_TRUE(v.present);
      EXPECT_EQ(v.Get(L"ProductVersion"), p.version);
      EXPECT_EQ(v.Get(L"FileVersion"), p.version + L".0");
      EXPECT_EQ(v.fileMS, u.fileMS);
      EXPECT_EQ(v.fileLS, u.fileLS);
      EXPECT_EQ(v.strings, u.strings);
      EXPECT_GT(wttest::ReadPe(path).certificateTableSize, 0u) << "not signed";
      EXPECT_EQ(wttest::ReadPe(Unsigned(p, file)).certificateTableSize, 0u);
    }
  }
}

// How a DLL is put to work: the JNI test host of its architecture, one
// method that changes nothing.
const std::map<std::wstring, std::vector<std::wstring>> kLibraryRuns = {
    {L"libHostProbe.dll", {L"probe_host.exe", L"GetHostProbeVersion"}},
    {L"libRegKit.dll", {L"regkit_host.exe", L"RegKeyExists64", L"8", L"SOFTWARE"}},
};

// Programs start without arguments (their usage text and exit code); DLLs
// load into the host and answer one call.
wttest::ProcessResult PutToWork(const std::wstring& arch, const std::wstring& folder,
                                const std::wstring& file) {
  const auto library = kLibraryRuns.find(file);
  if (library == kLibraryRuns.end()) {
    return wttest::RunProcess(folder + L"\\" + file, wttest::QuoteArgument(file));
  }
  const std::vector<std::wstring>& how = library->second;
  std::wstring commandLine = how[0] + L" " + wttest::QuoteArgument(folder + L"\\" + file);
  for (size_t i = 1; i < how.size(); ++i) commandLine += L" " + wttest::QuoteArgument(how[i]);
  return wttest::RunProcess(wttest::ArchProgram(arch, how[0]), commandLine);
}

TEST_F(Release, EverySignedProgramAndLibraryDoesWhatItsUnsignedCopyDoes) {
  for (const Part& p : parts_) {
    for (const std::wstring& file : p.files) {
      SCOPED_TRACE(wttest::Narrow(p.arch + L"\\" + file));
      const bool dll = file.size() > 4 && file.compare(file.size() - 4, 4, L".dll") == 0;
      if (dll && kLibraryRuns.count(file) == 0) {
        ADD_FAILURE() << "no host that loads this library";
        continue;
      }
      const wttest::ProcessResult signedRun = PutToWork(p.arch, p.path, file);
      const wttest::ProcessResult unsignedRun = PutToWork(p.arch, dist_ + L"\\" + p.arch, file);
      ASSERT_TRUE(signedRun.started) << "error " << signedRun.startError;
      ASSERT_TRUE(unsignedRun.started) << "error " << unsignedRun.startError;
      EXPECT_FALSE(signedRun.timedOut);
      EXPECT_FALSE(signedRun.out.empty() && signedRun.err.empty()) << "said nothing";
      EXPECT_EQ(signedRun.out, unsignedRun.out);
      EXPECT_EQ(signedRun.err, unsignedRun.err);
      EXPECT_EQ(signedRun.exitCode, unsignedRun.exitCode);
      if (dll) {
        EXPECT_EQ(signedRun.exitCode, 0u) << signedRun.err;
      }
    }
  }
}

}  // namespace
