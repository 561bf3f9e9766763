// The failure paths only a scripted platform reaches (COM that cannot start,
// a link object that cannot be made, no memory, Programs folders that cannot
// be located, a shortcut that cannot be deleted) and the command forms. The
// INI file and the shortcut files are real, in a temporary folder of its own.
#include "operations.h"

#include <gtest/gtest.h>

#include <functional>

#include "codes.h"
#include "test_files.h"
#include "wt/output.h"
#include "wttest/platform.h"

namespace linkforge {
namespace {

struct Script {
  std::wstring programs[2];  // current user, all users; empty: cannot be located
  HRESULT coInit = S_OK, coCreate = S_OK;
  int allocFailsAt = 0, allocs = 0, coInits = 0, coUninits = 0;
  bool userDeleteFails = false;
  std::vector<std::wstring> looked;  // the link paths PathFileExistsW was asked about
  std::wstring out;
} g;

int RunScripted(const std::vector<std::wstring>& args) {
  Platform p = RealPlatform();
  p.CoInitialize = [](LPVOID) { return ++g.coInits, g.coInit; };
  p.CoUninitialize = [] { ++g.coUninits; };
  p.CoCreateInstance = [](REFCLSID, LPUNKNOWN, DWORD, REFIID, LPVOID* out) {
    return *out = nullptr, g.coCreate;
  };
  p.LocalAlloc = [](UINT flags, SIZE_T n) {
    return ++g.allocs == g.allocFailsAt ? nullptr : ::LocalAlloc(flags, n);
  };
  p.SHGetSpecialFolderPathW = [](HWND, LPWSTR path, int csidl, BOOL) {
    const std::wstring& folder = g.programs[csidl == CSIDL_COMMON_PROGRAMS ? 1 : 0];
    return wcscpy(path, folder.c_str()), folder.empty() ? FALSE : TRUE;
  };
  p.DeleteFileW = [](LPCWSTR path) {
    return g.userDeleteFails && wcsstr(path, g.programs[0].c_str()) ? FALSE : ::DeleteFileW(path);
  };
  p.PathFileExistsW = [](LPCWSTR path) {
    g.looked.push_back(path);
    return RealPlatform().PathFileExistsW(path);
  };
  p.Write = [](std::wstring_view text) { g.out += text; };
  return linkforge::Run(p, args);
}

class Operations : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root_ = temp + wttest::UniqueName(L"linkforge_ops");
    Reset();
    for (const auto& folder : {root_, g.programs[0], g.programs[1]}) {
      CreateDirectoryW(folder.c_str(), nullptr);
    }
    ini_ = root_ + L"\\links.ini";
    testing::WriteBytes(ini_,
                        "[Constants]\r\nfolderStructure=F\r\n[Shortcut]\r\ndisplayName=N\r\n");
  }
  void TearDown() override { testing::RemoveTree(root_); }
  void Reset() {
    g = Script();
    g.programs[0] = root_ + L"\\user";
    g.programs[1] = root_ + L"\\common";
  }
  std::wstring root_, ini_;
};

TEST_F(Operations, ScriptedFailuresEndWithTheirCodes) {
  const struct {
    std::function<void()> script;
    const wchar_t* command;
    int code;
  } cases[] = {
      {[] { g.coInit = CO_E_NOTINITIALIZED; }, L"-create", kComInitFailed},
      {[] { g.coCreate = REGDB_E_CLASSNOTREG; }, L"-create", kPlatformFailed},
      {[] { g.programs[0].clear(); }, L"-create", kPlatformFailed},
      {[] { g.programs[0].clear(); }, L"-deleteall", kPlatformFailed},
      {[] { g.allocFailsAt = 1; }, L"-deleteall", kNoMemory},  // for the bytes
      {[] { g.allocFailsAt = 2; }, L"-create", kNoMemory},     // for the text
      {[] {}, L"-remove", kUsage},                             // unknown: no usage text
  };
  for (const auto& c : cases) {
    Reset();
    c.script();
    EXPECT_EQ(RunScripted({c.command, ini_}), c.code);
    EXPECT_EQ(g.out, wt::FormatW(L"linkforge exiting with exit code %d.\n", c.code));
    EXPECT_EQ(g.coUninits, SUCCEEDED(g.coInit) ? g.coInits : 0) << c.code;
  }
  // Fewer than two arguments: the usage text alone; -delete with two: both.
  const std::wstring usage =
      L"USAGE:\n  To create shortcuts:\n    linkforge -create inifilepath\n  To delete a "
      L"shortcut:\n    linkforge -delete folderpath shortcutname\n  To delete all shortcuts in an "
      L"ini file:\n    linkforge -deleteall inifilepath\n";
  Reset();
  EXPECT_EQ(RunScripted({L"-create"}), kUsage);
  EXPECT_EQ(RunScripted({L"-DELETE", L"F"}), kUsage);
  EXPECT_EQ(g.out, usage + usage + L"linkforge exiting with exit code -1.\n");
}

TEST_F(Operations, DeleteFailsWhenAShortcutIsLeftBehindInEitherLocation) {
  for (const auto& programs : g.programs) {
    CreateDirectoryW((programs + L"\\F").c_str(), nullptr);
    testing::WriteBytes(programs + L"\\F\\N.lnk", "");
  }
  g.userDeleteFails = true;
  EXPECT_EQ(RunScripted({L"-delete", L"F", L"N"}), kDeleteFailed);
  EXPECT_EQ(g.out, L"DeleteAShortcut retruned -95 while removing " + g.programs[0] +
                       L"\\F\\N.\nDeleteAShortcut retruned 0 while removing " + g.programs[1] +
                       L"\\F\\N.\nlinkforge:DeleteShortcut() returning with exit code -95. "
                       L"Internal exit codes 0:-95, 1:0\nlinkforge exiting with exit code -95.\n");
  EXPECT_TRUE(testing::Exists(g.programs[0] + L"\\F\\N.lnk"));
  EXPECT_FALSE(testing::Exists(g.programs[1] + L"\\F"));  // emptied, so removed

  g.out.clear();  // a location that cannot be located gets no line of its own
  g.programs[1].clear();
  EXPECT_EQ(RunScripted({L"-delete", L"F", L"N"}), kDeleteFailed);
  EXPECT_EQ(g.out.substr(g.out.find(L"linkforge:")),
            L"linkforge:DeleteShortcut() returning with exit code -95. Internal exit codes "
            L"0:-95, 1:-99\nlinkforge exiting with exit code -95.\n");

  // Folder paths are used as given, whatever they hold, in both locations;
  // the Programs folder itself stays when its last shortcut goes, however
  // the path names it. (What "...", ". ." and ".. " resolve to is the
  // platform's business: no shortcut is there to find.)
  const struct {
    const wchar_t* folder;
    bool there;  // N.lnk is in the current user's Programs folder
  } cases[] = {
      {L"F\\..", true}, {L"..\\user", true}, {L"...", false}, {L". .", false}, {L".. ", false}};
  testing::RemoveTree(g.programs[0] + L"\\F");  // what was left behind above
  for (const auto& c : cases) {
    Reset();
    if (c.there) testing::WriteBytes(g.programs[0] + L"\\N.lnk", "");
    EXPECT_EQ(RunScripted({L"-delete", c.folder, L"N"}), kOk);  // not found is 0 too
    const int user = c.there ? kOk : kNotFound;
    EXPECT_NE(g.out.find(wt::FormatW(L"Internal exit codes 0:%d, 1:%d\n", user, kNotFound)),
              std::wstring::npos)
        << wttest::Narrow(g.out);
    EXPECT_EQ(g.looked, (std::vector<std::wstring>{g.programs[0] + L"\\" + c.folder + L"\\N.lnk",
                                                   g.programs[1] + L"\\" + c.folder + L"\\N.lnk"}));
    EXPECT_FALSE(testing::Exists(g.programs[0] + L"\\N.lnk"));
    EXPECT_TRUE(testing::Exists(g.programs[0])) << wttest::Narrow(c.folder);
  }
}

}  // namespace
}  // namespace linkforge
