// What a Windows team expects of every file in dist/: a version resource
// that names the file, the product and its version, and no debug
// information. Reads the installed files of both architectures.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "wttest/pe.h"
#include "wttest/platform.h"
#include "wttest/version.h"

namespace {

// dist/, from the environment the test registration sets.
std::wstring DistRoot() {
  wchar_t buffer[MAX_PATH * 2] = {};
  const DWORD n = GetEnvironmentVariableW(L"WT_DIST_ROOT", buffer, MAX_PATH * 2);
  return n > 0 && n < MAX_PATH * 2 ? std::wstring(buffer) : std::wstring();
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.push_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

struct Expected {
  const wchar_t* arch;
  const wchar_t* file;
};

// Each deliverable in the architecture it ships for; the JNI libraries in
// both (a 64-bit Java VM needs them too), and the custom-action DLL in both
// (a package calls the one of its own architecture).
const Expected kDeliverables[] = {
    {L"x86", L"acctmgr.exe"},      {L"x86", L"svcdefine.exe"}, {L"x86", L"svclaunch.exe"},
    {L"x86", L"libHostProbe.dll"}, {L"x64", L"svchalt.exe"},   {L"x64", L"svcredesc.exe"},
    {L"x64", L"libHostProbe.dll"}, {L"x64", L"linkforge.exe"}, {L"x86", L"libRegKit.dll"},
    {L"x64", L"libRegKit.dll"},    {L"x86", L"toolrun.dll"},   {L"x64", L"toolrun.dll"},
};

TEST(Deliverables, EveryOneIsInstalledWhereItShips) {
  const std::wstring root = DistRoot();
  ASSERT_FALSE(root.empty()) << "WT_DIST_ROOT is not set";
  for (const Expected& e : kDeliverables) {
    const std::wstring path = root + L"\\" + e.arch + L"\\" + e.file;
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << wttest::Narrow(path);
  }
}

// A package names the custom action's entry by its plain name on both
// architectures (no stdcall @4 on x86), and nothing else is exported.
TEST(Deliverables, ToolrunExportsRunToolUndecoratedOnBothArchitectures) {
  const std::wstring root = DistRoot();
  ASSERT_FALSE(root.empty()) << "WT_DIST_ROOT is not set";
  for (const wchar_t* arch : {L"x86", L"x64"}) {
    const wttest::PeInfo pe = wttest::ReadPe(root + L"\\" + arch + L"\\toolrun.dll");
    ASSERT_TRUE(pe.valid) << wttest::Narrow(arch);
    EXPECT_EQ(pe.exports, std::vector<std::string>{"RunTool"}) << wttest::Narrow(arch);
  }
}

TEST(Deliverables, EachCarriesItsVersionResourceAndNoDebugInformation) {
  const std::wstring root = DistRoot();
  ASSERT_FALSE(root.empty()) << "WT_DIST_ROOT is not set";
  const std::wstring version = WT_PROJECT_VERSION;
  int seen = 0;
  for (const wchar_t* arch : {L"x86", L"x64"}) {
    for (const std::wstring& name : FilesIn(root + L"\\" + arch)) {
      const std::wstring path = root + L"\\" + arch + L"\\" + name;
      SCOPED_TRACE(wttest::Narrow(path));
      ++seen;
      const bool dll = name.size() > 4 && name.compare(name.size() - 4, 4, L".dll") == 0;
      const wttest::VersionInfo v = wttest::ReadVersion(path);
      ASSERT_TRUE(v.present);
      EXPECT_EQ(v.fileMS, DWORD{WT_PROJECT_VERSION_MAJOR} << 16 | WT_PROJECT_VERSION_MINOR);
      EXPECT_EQ(v.fileLS, DWORD{WT_PROJECT_VERSION_PATCH} << 16 | WT_FILE_VERSION_BUILD);
      EXPECT_EQ(v.productMS, v.fileMS);
      EXPECT_EQ(v.productLS, v.fileLS);
      EXPECT_EQ(v.fileType, dll ? DWORD{VFT_DLL} : DWORD{VFT_APP});
      EXPECT_EQ(v.Get(L"FileVersion"), version + L"." + std::to_wstring(WT_FILE_VERSION_BUILD));
      EXPECT_EQ(v.Get(L"ProductVersion"), version);
      EXPECT_EQ(v.Get(L"OriginalFilename"), name);
      EXPECT_EQ(v.Get(L"InternalName"), name.substr(0, name.size() - 4));
      EXPECT_EQ(v.Get(L"ProductName"), WT_PRODUCT_NAME);
      EXPECT_GT(v.Get(L"FileDescription").size(), 10u);
      EXPECT_EQ(v.Get(L"LegalCopyright").rfind(L"Copyright (C) ", 0), 0u);

      const wttest::PeInfo pe = wttest::ReadPe(path);
      ASSERT_TRUE(pe.valid);
      for (const std::string& section : pe.sections) {
        EXPECT_NE(section.rfind(".debug", 0), 0u) << "debug section " << section;
      }
    }
  }
  EXPECT_GE(seen, static_cast<int>(std::size(kDeliverables)));
}

}  // namespace
