// The real linkforge.exe against the Programs folders and the shell link
// object of the platform. Shortcuts are read back through a fresh link
// object; every test works below a folder of its own and removes it.
#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <set>
#include <string>
#include <vector>

#include "lnk_reader.h"
#include "test_files.h"
#include "wt/output.h"
#include "wttest/pe.h"
#include "wttest/platform.h"
#include "wttest/process.h"

namespace linkforge::testing {
namespace {

using wttest::Narrow;

std::wstring Program() { return wttest::BuiltProgram(L"linkforge.exe"); }

std::wstring Special(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
  return path;
}

// Text as the program's text-mode stdout writes it: each "\n" as "\r\n".
std::string TextMode(const std::wstring& text) {
  std::string out;
  for (char c : Narrow(text)) out += c == '\n' ? std::string("\r\n") : std::string(1, c);
  return out;
}

std::string Closing(int code) {
  return TextMode(wt::FormatW(L"linkforge exiting with exit code %d.\n", code));
}

std::string Shortcut(const std::string& name, const std::string& more = "") {
  return "[Shortcut]\r\ndisplayName=" + name +
         "\r\ntarget=C:\\windows\\regedit.exe\r\nstartDirectory=\r\n" + more;
}

// What a link holds, in one line.
std::wstring Held(const std::wstring& file) {
  const LinkInfo l = ReadLink(file);
  return !l.loaded ? L"(none)"
                   : wt::FormatW(L"%ls|%ls|%ls|%ls,%d", l.target.c_str(), l.arguments.c_str(),
                                 l.workingDirectory.c_str(), l.iconPath.c_str(), l.iconIndex);
}

class LinkforgeE2E : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { CoInitialize(nullptr); }
  static void TearDownTestSuite() { CoUninitialize(); }
  void SetUp() override {
    folder_ = wttest::UniqueName(L"lf_e2e");
    user_ = Special(CSIDL_PROGRAMS) + L"\\" + folder_;
    common_ = Special(CSIDL_COMMON_PROGRAMS) + L"\\" + folder_;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    ini_ = temp + folder_ + L".ini";
  }
  void TearDown() override {
    for (const auto& path : {user_, common_, ini_}) RemoveTree(path);
  }
  wttest::ProcessResult Run(const std::vector<std::wstring>& args) {
    std::wstring line = L"linkforge";
    for (const auto& a : args) line += L" " + wttest::QuoteArgument(a);
    return wttest::RunProcess(Program(), line);
  }
  wttest::ProcessResult RunIni(const wchar_t* command, const std::string& iniBytes) {
    WriteBytes(ini_, iniBytes);
    return Run({command, ini_});
  }
  std::string Constants(const char* more = "") {
    return "[Constants]\r\n" + std::string(more) + "folderStructure=" + Narrow(folder_) +
           "\\Sub\r\n";
  }
  std::wstring folder_, user_, common_, ini_;
};

TEST_F(LinkforgeE2E, IsAnX64ConsoleProgramWithItsIconManifestAndVersion) {
  const auto pe = wttest::ReadPe(Program());
  EXPECT_EQ(pe.machine, IMAGE_FILE_MACHINE_AMD64);
  EXPECT_EQ(pe.subsystem, IMAGE_SUBSYSTEM_WINDOWS_CUI);
  HMODULE module = LoadLibraryExW(Program().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  auto resource = [module](LPCWSTR type, WORD id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    auto* bytes =
        found ? static_cast<const char*>(LockResource(LoadResource(module, found))) : nullptr;
    return bytes ? std::string(bytes, SizeofResource(module, found)) : std::string();
  };
  // Group 101: GRPICONDIR, then 14-byte entries (width, height, colours, ...).
  const std::string group = resource(RT_GROUP_ICON, 101);
  ASSERT_EQ(group.size(), 6u + 2 * 14);
  EXPECT_EQ(group.substr(6, 3) + group.substr(20, 3), std::string("\x20\x20\x10\x10\x10\x10"));
  EXPECT_NE(resource(RT_MANIFEST, 1).find("requireAdministrator"), std::string::npos);
  EXPECT_FALSE(resource(RT_VERSION, 1).empty());
  FreeLibrary(module);
}

TEST_F(LinkforgeE2E, CreateSavesWhatTheFileSays) {
  const auto r = RunIni(
      L"-create",
      Constants("createForAllUsers=TRUE\r\n") +
          "[Shortcut]\r\niconIndex=3\r\ndisplayName=Tool\r\ntarget=C:\\windows\\notepad.exe\r\n"
          "arguments=-config default\r\nstartDirectory=C:\\windows\r\n"
          "iconLocation=%SystemRoot%\\system32\\shell32.dll\r\n" +
          Shortcut("Located", "iconLocation=C:\\windows\\regedit.exe\r\n") +
          Shortcut("Indexed", "iconIndex=12\r\n") +
          Shortcut("Moved", "parentFolderOverride=" + Narrow(common_) + "\\Elsewhere\r\n"));
  EXPECT_EQ(r.out, Closing(0));
  EXPECT_EQ(r.exitCode, 0u);
  wchar_t system[MAX_PATH], root[MAX_PATH];
  GetSystemDirectoryW(system, MAX_PATH);
  ExpandEnvironmentStringsW(L"%SystemRoot%", root, MAX_PATH);
  const std::wstring regedit = L"C:\\windows\\regedit.exe||",
                     shell32 = std::wstring(system) + L"\\shell32.dll";
  EXPECT_EQ(Held(common_ + L"\\Sub\\Tool.lnk"),
            L"C:\\windows\\notepad.exe|-config default|"
            L"C:\\windows|" +
                std::wstring(root) + L"\\system32\\shell32.dll,3");
  // An icon file without an index is not used; an index alone is.
  EXPECT_EQ(Held(common_ + L"\\Sub\\Located.lnk"), regedit + L"|" + shell32 + L",-1");
  EXPECT_EQ(Held(common_ + L"\\Sub\\Indexed.lnk"), regedit + L"|" + shell32 + L",12");
  EXPECT_EQ(Held(common_ + L"\\Elsewhere\\Moved.lnk"), regedit + L"|" + shell32 + L",-1");
  EXPECT_FALSE(Exists(common_ + L"\\Sub\\Moved.lnk") || Exists(user_));
}

TEST_F(LinkforgeE2E, DeleteLooksInBothProgramsFolders) {
  const struct {
    bool inUser, inCommon;
    int user, common, result;
    const wchar_t* sub;  // the folder below folder_, as the command line names it
  } cases[] = {{true, true, 0, 0, 0, L"\\Sub"},
               {false, true, -101, 0, 0, L"\\Up\\..\\Sub"},  // used as given
               {false, false, -101, -101, -101, L"\\Sub"}};
  for (const auto& c : cases) {
    std::wstring expected;
    for (const auto& [present, base, code] :
         {std::tuple{c.inUser, user_, c.user}, std::tuple{c.inCommon, common_, c.common}}) {
      CreateDirectoryW(base.c_str(), nullptr);
      CreateDirectoryW((base + L"\\Sub").c_str(), nullptr);
      if (present) WriteBytes(base + L"\\Sub\\Name.lnk", "");
      expected += wt::FormatW(L"DeleteAShortcut retruned %d while removing %ls%ls\\Name.\n", code,
                              base.c_str(), c.sub);
    }
    const auto r = Run({L"-delete", folder_ + c.sub, L"Name"});
    EXPECT_EQ(r.out, TextMode(expected + wt::FormatW(L"linkforge:DeleteShortcut() returning with "
                                                     L"exit code %d. Internal exit codes 0:%d, "
                                                     L"1:%d\n",
                                                     c.result, c.user, c.common)) +
                         Closing(0));
    EXPECT_EQ(r.exitCode, 0u);
    // A folder emptied by the deletion goes; its parent stays.
    EXPECT_EQ(Exists(user_ + L"\\Sub"), !c.inUser);
    EXPECT_EQ(Exists(common_ + L"\\Sub"), !c.inCommon);
    EXPECT_TRUE(Exists(user_) && Exists(common_));
  }
}

TEST_F(LinkforgeE2E, DeleteAllRemovesAFolderOnlyWhenItEmptiesIt) {
  const std::string ini = Constants() + Shortcut("A") + Shortcut("B");
  const std::wstring sub = user_ + L"\\Sub\\";
  for (bool otherFile : {false, true}) {
    ASSERT_EQ(RunIni(L"-create", ini).exitCode, 0u);
    if (otherFile) WriteBytes(sub + L"readme.txt", "kept");
    EXPECT_EQ(RunIni(L"-deleteall", ini).out,
              TextMode(L"DeleteAShortcut retruned 0 while removing " + sub +
                       L"A.\nDeleteAShortcut retruned 0 while removing " + sub + L"B.\n") +
                  Closing(0));
    EXPECT_FALSE(Exists(sub + L"A.lnk") || Exists(sub + L"B.lnk"));
    EXPECT_EQ(Exists(sub), otherFile);
    EXPECT_TRUE(Exists(user_));
  }
}

TEST_F(LinkforgeE2E, BadInputEndsWithItsCodeAndLeavesNothingHalfMade) {
  char cafe[8] = {};  // outside ASCII, in the ANSI code page as the file must be
  WideCharToMultiByte(CP_ACP, 0, L"Caf\u00e9", -1, cafe, sizeof cafe, nullptr, nullptr);
  std::string utf16 = "\xFF\xFE";
  for (char ch : Constants() + Shortcut("A")) utf16 += std::string{ch, '\0'};
  const struct {
    std::string ini;
    int code;
    std::wstring made;  // below the current user's folder; "" for nothing at all
  } cases[] = {
      {utf16, -3, L""},
      // ".." is used as given.
      {"[Constants]\r\nfolderStructure=" + Narrow(folder_) + "\\..\\" + Narrow(folder_) +
           "\\Sub\r\n" + Shortcut("A"),
       0, L"\\Sub\\A.lnk"},
      {Constants() + Shortcut(std::string(520, 'n')), -6, L""},   // a value over its limit
      {Constants() + Shortcut(std::string(250, 'n')), -96, L""},  // a path over 259
      {Constants() + Shortcut(cafe), 0, L"\\Sub\\Caf\u00e9.lnk"},
      // A character the code page lacks arrives as "?", which no file name holds.
      {Constants() + Shortcut("A?B") + Shortcut("Good"), -96, L"\\Sub\\Good.lnk"},
      {Constants() + Shortcut("A") + "[Other]\r\n", -6, L"\\Sub\\A.lnk"},
  };
  for (const auto& c : cases) {
    const auto r = RunIni(L"-create", c.ini);
    EXPECT_EQ(r.out, Closing(c.code)) << c.ini;
    EXPECT_EQ(r.exitCode, DWORD(c.code));
    EXPECT_EQ(Exists(user_), !c.made.empty());
    EXPECT_TRUE(c.made.empty() || ReadLink(user_ + c.made).loaded) << c.ini;
    RemoveTree(user_);
  }
}

}  // namespace
}  // namespace linkforge::testing
