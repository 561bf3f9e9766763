// Every call of linkforge's three commands made to fail in turn, against the
// real functions, the real shell link object and the real Programs folders
// (below a folder of the test's own). The link object is wrapped so that
// its methods count and fail like table entries and its references are
// counted. Each run must end with an exit code the page gives for that
// failure, release every handle, reference and COM initialisation, and leave
// the shortcuts as the page says.
#include "wttest/fault.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <functional>

#include "codes.h"
#include "operations.h"
#include "test_files.h"
#include "wttest/platform.h"

namespace linkforge {
namespace {

using wttest::fault::EntryInfo;
using wttest::fault::FailedOneOf;
using wttest::fault::Fails;
using wttest::fault::Intercept;

int g_references = 0;  // references to link objects the tool holds
int g_comInits = 0;    // COM initialisations the tool made and not undid

// The shell link object as the tool sees it: QueryInterface for
// IPersistFile, the four setters the tool calls and Save count and fail like
// entries; everything else is passed to the real object.
class CountedLink final : public IShellLinkW, public IPersistFile {
 public:
  explicit CountedLink(IShellLinkW* link) : link_(link) { ++g_references; }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IPersistFile) {
      const HRESULT hr = Counted("QueryInterface", [&] {
        return file_ ? S_OK : link_->QueryInterface(iid, reinterpret_cast<void**>(&file_));
      });
      if (FAILED(hr)) return hr;
      *out = static_cast<IPersistFile*>(this);
    } else if (iid == IID_IUnknown || iid == IID_IShellLinkW) {
      *out = static_cast<IShellLinkW*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++g_references, ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    --g_references;
    if (--refs_ != 0) return refs_;
    if (file_) file_->Release();
    link_->Release();
    delete this;
    return 0;
  }
#define WT_PASS(object, method, params, args) \
  HRESULT STDMETHODCALLTYPE method params override { return object->method args; }
#define WT_COUNT(method, params, args)                           \
  HRESULT STDMETHODCALLTYPE method params override {             \
    return Counted(#method, [&] { return link_->method args; }); \
  }
  WT_PASS(link_, GetPath, (LPWSTR a, int b, WIN32_FIND_DATAW* c, DWORD d), (a, b, c, d))
  WT_PASS(link_, GetIDList, (PIDLIST_ABSOLUTE * a), (a))
  WT_PASS(link_, SetIDList, (PCIDLIST_ABSOLUTE a), (a))
  WT_PASS(link_, GetDescription, (LPWSTR a, int b), (a, b))
  WT_PASS(link_, SetDescription, (LPCWSTR a), (a))
  WT_PASS(link_, GetWorkingDirectory, (LPWSTR a, int b), (a, b))
  WT_COUNT(SetWorkingDirectory, (LPCWSTR a), (a))
  WT_PASS(link_, GetArguments, (LPWSTR a, int b), (a, b))
  WT_COUNT(SetArguments, (LPCWSTR a), (a))
  WT_PASS(link_, GetHotkey, (WORD * a), (a))
  WT_PASS(link_, SetHotkey, (WORD a), (a))
  WT_PASS(link_, GetShowCmd, (int* a), (a))
  WT_PASS(link_, SetShowCmd, (int a), (a))
  WT_PASS(link_, GetIconLocation, (LPWSTR a, int b, int* c), (a, b, c))
  WT_COUNT(SetIconLocation, (LPCWSTR a, int b), (a, b))
  WT_PASS(link_, SetRelativePath, (LPCWSTR a, DWORD b), (a, b))
  WT_PASS(link_, Resolve, (HWND a, DWORD b), (a, b))
  WT_COUNT(SetPath, (LPCWSTR a), (a))
  WT_PASS(file_, GetClassID, (CLSID * a), (a))
  WT_PASS(file_, IsDirty, (), ())
  WT_PASS(file_, Load, (LPCOLESTR a, DWORD b), (a, b))
  WT_PASS(file_, SaveCompleted, (LPCOLESTR a), (a))
  WT_PASS(file_, GetCurFile, (LPOLESTR * a), (a))
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR a, BOOL b) override {
    return Counted(
        "Save", [&] { return file_->Save(a, b); }, ERROR_DISK_FULL);
  }
#undef WT_PASS
#undef WT_COUNT

 private:
  template <typename F>
  static HRESULT Counted(const char* name, F forward, DWORD code = ERROR_OUTOFMEMORY) {
    return Intercept<HRESULT>(EntryInfo{name, Fails::kHresult, code}, forward);
  }
  IShellLinkW* link_;
  IPersistFile* file_ = nullptr;
  ULONG refs_ = 1;
};

std::wstring g_out;

wttest::fault::FaultTable<Platform> Faults() {
  Platform inner = RealPlatform();
  inner.CoInitialize = [](LPVOID reserved) {
    const HRESULT hr = RealPlatform().CoInitialize(reserved);
    return g_comInits += SUCCEEDED(hr), hr;
  };
  inner.CoUninitialize = [] { --g_comInits, RealPlatform().CoUninitialize(); };
  inner.CoCreateInstance = [](REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                              LPVOID* out) {
    IShellLinkW* link = nullptr;
    const HRESULT hr = RealPlatform().CoCreateInstance(clsid, outer, context, iid,
                                                       reinterpret_cast<void**>(&link));
    *out = SUCCEEDED(hr) ? static_cast<IShellLinkW*>(new CountedLink(link)) : nullptr;
    return hr;
  };
  inner.Write = [](std::wstring_view text) { g_out += text; };
  wttest::fault::FaultTable<Platform> t(inner);
  WT_FAULT_ENTRIES(t, Platform, Fails::kByType, ReadFile, SHGetSpecialFolderPathW,
                   ExpandEnvironmentStringsW, GetSystemDirectoryW, PathFileExistsW, DeleteFileW,
                   FindNextFileW, RemoveDirectoryW, GetFileInformationByHandle)
  WT_FAULT_MEMORY(t, Platform, LocalAlloc, MultiByteToWideChar)
  WT_FAULT_RELEASES(t, Platform, Fails::kByType, CloseHandle, LocalFree, FindClose)
  WT_FAULT_ENTRIES(t, Platform, Fails::kInvalidHandle, CreateFileW, FindFirstFileW)
  WT_FAULT_ENTRIES(t, Platform, Fails::kNever, CoUninitialize, Write)
  t.Add<&Platform::GetFileSize>("GetFileSize", Fails::kAllOnes);
  t.Add<&Platform::CoInitialize>("CoInitialize", Fails::kHresult, ERROR_OUTOFMEMORY);
  t.Add<&Platform::CoCreateInstance>("CoCreateInstance", Fails::kHresult, ERROR_OUTOFMEMORY);
  t.Add<&Platform::SHCreateDirectoryExW>("SHCreateDirectoryExW", Fails::kStatus, ERROR_DISK_FULL);
  return t;
}

std::wstring ProgramsFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
  return path;
}

TEST(LinkforgeFaults, EveryCallOfEveryCommandFailsAsThePageSays) {
  const std::wstring base = wttest::UniqueName(L"wtFault");
  const std::wstring user = ProgramsFolder(CSIDL_PROGRAMS) + L"\\" + base;
  const std::wstring common = ProgramsFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + base;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  // -create makes one shortcut (a save costs as much as the rest of a run
  // under Wine); -deleteall deletes two.
  const std::wstring ini = temp + base + L".ini", both = temp + base + L"_both.ini";
  const std::string one =
      "[Constants]\r\nfolderStructure=" + wttest::Narrow(base) +
      "\\Tools\r\n[Shortcut]\r\ndisplayName=One\r\n"
      "target=C:\\windows\\notepad.exe\r\narguments=-a\r\nstartDirectory=C:\\\r\n"
      "iconLocation=%SystemRoot%\\system32\\shell32.dll\r\niconIndex=3\r\n";
  ASSERT_TRUE(testing::WriteBytes(ini, one));
  ASSERT_TRUE(testing::WriteBytes(both, one + "[Shortcut]\r\ndisplayName=Two\r\n"));
  const auto count = [&](const std::wstring& root, std::initializer_list<const wchar_t*> names) {
    int n = 0;
    for (const wchar_t* name : names) n += testing::Exists(root + L"\\Tools\\" + name + L".lnk");
    return n;
  };
  // Both folders made anew, with these shortcuts below the current user's
  // (and the all users') Programs folder.
  const auto place = [&](std::initializer_list<const wchar_t*> names, bool common2 = false) {
    for (const std::wstring& root : {user, common}) {
      testing::RemoveTree(root);
      CreateDirectoryW(root.c_str(), nullptr);
      CreateDirectoryW((root + L"\\Tools").c_str(), nullptr);
      for (const wchar_t* name : names)
        if (root == user || common2) testing::WriteBytes(root + L"\\Tools\\" + name + L".lnk", "");
    }
  };
  struct Command {
    std::vector<std::wstring> args;
    std::function<void()> prepare;
    std::function<bool(int exit)> left;  // the shortcuts as the page says
    wttest::fault::Page page;
  };
  // Not looked at: the listing and removal of an emptied folder, a folder
  // that cannot be told apart from the Programs folder (it stays), an
  // existence check (the deletion then decides), a folder that exists
  // already, the icon's expansion (the system's icon is taken).
  const Command commands[] = {
      {{L"-create", ini},
       [&] { place({}); },
       [&](int exit) { return count(user, {L"One"}) == (exit == kOk); },
       {"0",
        {"-2", "-96", "-97", "-98", "-99"},
        nullptr,
        {{"CoInitialize", {"-97"}},
         {"CreateFileW", {"-2"}},
         {"GetFileSize", {"-99"}},
         {"LocalAlloc#1-2", {"-98"}},
         {"ReadFile", {"-99"}},
         {"MultiByteToWideChar", {"-99"}},
         {"SHGetSpecialFolderPathW", {"-99"}},
         {"CoCreateInstance", {"-99"}},
         {"QueryInterface", {"-99"}},
         {"SetPath", {"-96"}},
         {"SetArguments", {"-96"}},
         {"SetWorkingDirectory", {"-96"}},
         {"SetIconLocation", {"-96"}},
         {"Save", {"-96"}}},
        {"SHCreateDirectoryExW", "ExpandEnvironmentStringsW"}}},
      // Where a Programs folder cannot be located, the other location's
      // result (the greater) is the run's.
      {{L"-delete", base + L"\\Tools", L"Gone"},
       [&] { place({L"Gone"}, true); },
       [&](int exit) {
         const int left = count(user, {L"Gone"}) + count(common, {L"Gone"});
         return exit == kOk ? left == 0 || FailedOneOf({"SHGetSpecialFolderPathW"}) : left == 1;
       },
       {"0",
        {"-95"},
        nullptr,
        {{"DeleteFileW#1-2", {"-95"}}},
        {"SHGetSpecialFolderPathW#1-2", "PathFileExistsW#1-2", "CreateFileW#1-4",
         "GetFileInformationByHandle#1-4", "FindFirstFileW#1-2", "FindNextFileW#1-4",
         "RemoveDirectoryW#1-2"}}},
      {{L"-deleteall", both},
       [&] {
         place({L"One", L"Two"});
       },
       [&](int exit) {
         return count(user, {L"One", L"Two"}) == (exit == 0 ? 0 : exit == -95 ? 1 : 2);
       },
       {"0",
        {"-2", "-95", "-98", "-99"},
        nullptr,
        {{"CreateFileW#1", {"-2"}},
         {"GetFileSize", {"-99"}},
         {"LocalAlloc#1-2", {"-98"}},
         {"ReadFile", {"-99"}},
         {"MultiByteToWideChar", {"-99"}},
         {"SHGetSpecialFolderPathW", {"-99"}},
         {"DeleteFileW#1-2", {"-95"}}},
        {"PathFileExistsW#1-2", "CreateFileW#2-5", "GetFileInformationByHandle#1-4",
         "FindFirstFileW#1-2", "FindNextFileW#1-4", "RemoveDirectoryW"}}},
  };
  // COM stays up in this thread for the whole sweep (the tool's own
  // initialisations nest inside), so that it is not started anew each run.
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  wttest::fault::Tally::Paths paths;
  for (const Command& c : commands) {
    const std::string name = wttest::Narrow(c.args[0]);
    // Once before counting: the first use of COM and the shell keeps handles.
    c.prepare();
    wttest::fault::State().Reset(0);
    linkforge::Run(Faults(), c.args);
    paths.emplace_back(name, [&, name] {
      c.prepare();
      g_out.clear();
      const int exit = linkforge::Run(Faults(), c.args);
      if (g_references != 0 || g_comInits != 0 || !c.left(exit))
        return ::testing::AssertionFailure() << "references, COM or shortcuts left wrongly, exit "
                                             << exit << ": " << wttest::Narrow(g_out);
      return wttest::fault::Judge(c.page, std::to_string(exit));
    });
  }
  wttest::fault::Tally("linkforge").SweepCountingHandles(paths);
  CoUninitialize();
  testing::RemoveTree(user);
  testing::RemoveTree(common);
  DeleteFileW(ini.c_str());
  DeleteFileW(both.c_str());
}

}  // namespace
}  // namespace linkforge
