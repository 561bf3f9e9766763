// A signed release against the unsigned files in dist/ it was made from
// (testing/release/signed_release.sh signs and packs them first, and checks
// the signatures themselves): it is named after the version every version
// resource gives, its LICENSE holds the copyright line they give, and every
// file in it is signed and otherwise carries the same version resource.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "wt/owned.h"
#include "wttest/pe.h"
#include "wttest/platform.h"
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

std::vector<std::string> Lines(const std::wstring& path) {
  std::ifstream f(path.c_str(), std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(f, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// <name>-<version>, or <name>-<version>-snapshot.<n> for a snapshot.
std::wstring Stem() {
  std::wstring stem = WT_PROJECT_NAME L"-" WT_PROJECT_VERSION;
  if (WT_FILE_VERSION_BUILD != 0) stem += L"-snapshot." + std::to_wstring(WT_FILE_VERSION_BUILD);
  return stem;
}

class Release : public ::testing::TestWithParam<const wchar_t*> {
 protected:
  void SetUp() override {
    if (Environment(L"WT_RELEASE_DIR").empty()) GTEST_SKIP() << "WT_RELEASE_DIR is not set";
    // What the archive unpacks to: <stem>\<arch>, named after the CMake
    // project and its version.
    top_ = Environment(L"WT_RELEASE_DIR") + L"\\" + Stem();
    release_ = top_ + L"\\" + GetParam();
    dist_ = Environment(L"WT_DIST_ROOT") + L"\\" + GetParam();
    files_ = FilesIn(dist_);
    ASSERT_FALSE(files_.empty()) << "nothing installed in " << wttest::Narrow(dist_);
  }
  std::wstring top_, release_, dist_;
  std::vector<std::wstring> files_;  // the installed files, unsigned
};

TEST_P(Release, IsNamedAfterTheVersionOfEveryVersionResourceAndSignsEveryFile) {
  const std::vector<std::string> text = Lines(top_ + L"\\RELEASE.txt");
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text[0].rfind(wttest::Narrow(WT_PROJECT_NAME L" " WT_PROJECT_VERSION L" "), 0), 0u);
  EXPECT_EQ(text[0].find(" snapshot ") != std::string::npos, WT_FILE_VERSION_BUILD != 0);
  const std::vector<std::string> licence = Lines(top_ + L"\\LICENSE");
  for (const std::wstring& file : files_) {
    SCOPED_TRACE(wttest::Narrow(file));
    const wttest::VersionInfo v = wttest::ReadVersion(release_ + L"\\" + file);
    const wttest::VersionInfo u = wttest::ReadVersion(dist_ + L"\\" + file);
    ASSERT_TRUE(v.present);
    EXPECT_EQ(v.Get(L"ProductVersion"), WT_PROJECT_VERSION);
    EXPECT_EQ(v.fileMS, u.fileMS);
    EXPECT_EQ(v.fileLS, u.fileLS);
    EXPECT_EQ(v.strings, u.strings);
    EXPECT_NE(std::find(licence.begin(), licence.end(), wttest::Narrow(v.Get(L"LegalCopyright"))),
              licence.end())
        << "LICENSE lacks the copyright line of the version resource";
    EXPECT_GT(wttest::ReadPe(release_ + L"\\" + file).certificateTableSize, 0u) << "not signed";
    EXPECT_EQ(wttest::ReadPe(dist_ + L"\\" + file).certificateTableSize, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Architectures, Release, ::testing::Values(L"x86", L"x64"),
                         [](const auto& info) { return wttest::Narrow(info.param); });

}  // namespace
