// A signed release against the unsigned files in dist/ it was made from
// (testing/release/signed_release.sh signs and packs them first): it is
// named after the version every version resource gives, every file in it is
// signed, and each program and DLL does under a real loader exactly what its
// unsigned copy does.
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

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  wt::Owned find(::FindClose, FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  } while (FindNextFileW(find.get(), &data));
  return names;
}

std::string FirstLine(const std::wstring& path) {
  std::ifstream f(path.c_str(), std::ios::binary);
  std::string line;
  std::getline(f, line);
  return line.empty() || line.back() != '\r' ? line : line.substr(0, line.size() - 1);
}

class Release : public ::testing::TestWithParam<const wchar_t*> {
 protected:
  void SetUp() override {
    if (Environment(L"WT_RELEASE_DIR").empty()) GTEST_SKIP() << "WT_RELEASE_DIR is not set";
    // What the archive of the architecture unpacks to: <name>-<version>-<arch>,
    // named after the CMake project and its version.
    release_ = Environment(L"WT_RELEASE_DIR") + L"\\" WT_PROJECT_NAME L"-" WT_PROJECT_VERSION L"-" +
               GetParam();
    dist_ = Environment(L"WT_DIST_ROOT") + L"\\" + GetParam();
    files_ = FilesIn(dist_);
    ASSERT_FALSE(files_.empty()) << "nothing installed in " << wttest::Narrow(dist_);
  }
  std::wstring release_, dist_;
  std::vector<std::wstring> files_;  // the installed files, unsigned
};

TEST_P(Release, IsNamedAfterTheVersionOfEveryVersionResourceAndSignsEveryFile) {
  EXPECT_EQ(FirstLine(release_ + L"\\RELEASE.txt"),
            wttest::Narrow(WT_PROJECT_NAME L" " WT_PROJECT_VERSION L" for Windows " +
                           std::wstring(GetParam())));
  for (const std::wstring& file : files_) {
    SCOPED_TRACE(wttest::Narrow(file));
    const wttest::VersionInfo v = wttest::ReadVersion(release_ + L"\\" + file);
    const wttest::VersionInfo u = wttest::ReadVersion(dist_ + L"\\" + file);
    ASSERT_TRUE(v.present);
    EXPECT_EQ(v.Get(L"ProductVersion"), WT_PROJECT_VERSION);
    EXPECT_EQ(v.fileMS, u.fileMS);
    EXPECT_EQ(v.fileLS, u.fileLS);
    EXPECT_EQ(v.strings, u.strings);
    EXPECT_GT(wttest::ReadPe(release_ + L"\\" + file).certificateTableSize, 0u) << "not signed";
    EXPECT_EQ(wttest::ReadPe(dist_ + L"\\" + file).certificateTableSize, 0u);
  }
}

// How a DLL is put to work: the JNI test host of its architecture calls one
// method that changes nothing; the custom action's host calls its entry.
const std::map<std::wstring, std::vector<std::wstring>> kLibraryRuns = {
    {L"libHostProbe.dll", {L"probe_host.exe", L"GetHostProbeVersion"}},
    {L"libRegKit.dll", {L"regkit_host.exe", L"RegKeyExists64", L"8", L"SOFTWARE"}},
    // Outside an installation RunTool reads no data and returns 1603.
    {L"toolrun.dll", {L"toolrun_host.exe", L"--load"}},
};

// A program starts without arguments (its usage text and exit code); a DLL
// loads into its host and answers one call.
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

TEST_P(Release, EverySignedFileDoesWhatItsUnsignedCopyDoes) {
  for (const std::wstring& file : files_) {
    SCOPED_TRACE(wttest::Narrow(file));
    const bool dll = file.size() > 4 && file.compare(file.size() - 4, 4, L".dll") == 0;
    if (dll && kLibraryRuns.count(file) == 0) {
      ADD_FAILURE() << "no host that loads this library";
      continue;
    }
    const wttest::ProcessResult signedRun = PutToWork(GetParam(), release_, file);
    const wttest::ProcessResult unsignedRun = PutToWork(GetParam(), dist_, file);
    ASSERT_TRUE(signedRun.started && unsignedRun.started) << "error " << signedRun.startError;
    EXPECT_FALSE(signedRun.timedOut);
    EXPECT_FALSE(signedRun.out.empty() && signedRun.err.empty()) << "said nothing";
    EXPECT_EQ(signedRun.out, unsignedRun.out);
    EXPECT_EQ(signedRun.err, unsignedRun.err);
    EXPECT_EQ(signedRun.exitCode, unsignedRun.exitCode);
    EXPECT_TRUE(!dll || signedRun.exitCode == 0) << signedRun.err;
  }
}

INSTANTIATE_TEST_SUITE_P(Architectures, Release, ::testing::Values(L"x86", L"x64"),
                         [](const auto& info) { return wttest::Narrow(info.param); });

}  // namespace
