// Every call of linkforge's three commands made to fail in turn, against the
// real functions, the real shell link object and the real Programs folders
// (below a folder of the test's own). The shell link object is wrapped so
// that its methods count and fail like table entries and its references are
// counted. Each run must end with an exit code from the page, release every
// handle, reference and COM initialisation, and leave the shortcuts as the
// page says that failure leaves them.
#include "wttest/fault.h"

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>

#include <functional>
#include <map>
#include <set>

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
using wttest::fault::State;

int g_references = 0;  // references to link objects the tool holds

// The shell link object as the tool sees it: every method forwards to the
// real object; QueryInterface for IPersistFile, the four setters the tool
// calls and Save are counted and failed like table entries.
class CountedLink final : public IShellLinkW, public IPersistFile {
 public:
  explicit CountedLink(IShellLinkW* link) : link_(link) { ++g_references; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IShellLinkW) {
      *out = static_cast<IShellLinkW*>(this);
    } else if (iid == IID_IPersistFile) {
      static const EntryInfo info{"QueryInterface", Fails::kHresult, ERROR_OUTOFMEMORY};
      const HRESULT hr = Intercept<HRESULT>(info, [&] {
        return file_ ? S_OK
                     : link_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file_));
      });
      if (FAILED(hr)) return hr;
      *out = static_cast<IPersistFile*>(this);
    } else {
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override {
    ++g_references;
    return ++refs_;
  }
  ULONG STDMETHODCALLTYPE Release() override {
    --g_references;
    if (--refs_ != 0) return refs_;
    if (file_) file_->Release();
    link_->Release();
    delete this;
    return 0;
  }

  // IShellLinkW
  HRESULT STDMETHODCALLTYPE GetPath(LPWSTR a, int b, WIN32_FIND_DATAW* c, DWORD d) override {
    return link_->GetPath(a, b, c, d);
  }
  HRESULT STDMETHODCALLTYPE GetIDList(PIDLIST_ABSOLUTE* a) override { return link_->GetIDList(a); }
  HRESULT STDMETHODCALLTYPE SetIDList(PCIDLIST_ABSOLUTE a) override { return link_->SetIDList(a); }
  HRESULT STDMETHODCALLTYPE GetDescription(LPWSTR a, int b) override {
    return link_->GetDescription(a, b);
  }
  HRESULT STDMETHODCALLTYPE SetDescription(LPCWSTR a) override { return link_->SetDescription(a); }
  HRESULT STDMETHODCALLTYPE GetWorkingDirectory(LPWSTR a, int b) override {
    return link_->GetWorkingDirectory(a, b);
  }
  HRESULT STDMETHODCALLTYPE SetWorkingDirectory(LPCWSTR a) override {
    return Counted("SetWorkingDirectory", [&] { return link_->SetWorkingDirectory(a); });
  }
  HRESULT STDMETHODCALLTYPE GetArguments(LPWSTR a, int b) override {
    return link_->GetArguments(a, b);
  }
  HRESULT STDMETHODCALLTYPE SetArguments(LPCWSTR a) override {
    return Counted("SetArguments", [&] { return link_->SetArguments(a); });
  }
  HRESULT STDMETHODCALLTYPE GetHotkey(WORD* a) override { return link_->GetHotkey(a); }
  HRESULT STDMETHODCALLTYPE SetHotkey(WORD a) override { return link_->SetHotkey(a); }
  HRESULT STDMETHODCALLTYPE GetShowCmd(int* a) override { return link_->GetShowCmd(a); }
  HRESULT STDMETHODCALLTYPE SetShowCmd(int a) override { return link_->SetShowCmd(a); }
  HRESULT STDMETHODCALLTYPE GetIconLocation(LPWSTR a, int b, int* c) override {
    return link_->GetIconLocation(a, b, c);
  }
  HRESULT STDMETHODCALLTYPE SetIconLocation(LPCWSTR a, int b) override {
    return Counted("SetIconLocation", [&] { return link_->SetIconLocation(a, b); });
  }
  HRESULT STDMETHODCALLTYPE SetRelativePath(LPCWSTR a, DWORD b) override {
    return link_->SetRelativePath(a, b);
  }
  HRESULT STDMETHODCALLTYPE Resolve(HWND a, DWORD b) override { return link_->Resolve(a, b); }
  HRESULT STDMETHODCALLTYPE SetPath(LPCWSTR a) override {
    return Counted("SetPath", [&] { return link_->SetPath(a); });
  }

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* a) override { return file_->GetClassID(a); }
  HRESULT STDMETHODCALLTYPE IsDirty() override { return file_->IsDirty(); }
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR a, DWORD b) override { return file_->Load(a, b); }
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR a, BOOL b) override {
    static const EntryInfo info{"Save", Fails::kHresult, ERROR_DISK_FULL};
    return Intercept<HRESULT>(info, [&] { return file_->Save(a, b); });
  }
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR a) override { return file_->SaveCompleted(a); }
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* a) override { return file_->GetCurFile(a); }

 private:
  template <typename F>
  static HRESULT Counted(const char* name, F forward) {
    const EntryInfo info{name, Fails::kHresult, ERROR_OUTOFMEMORY};
    return Intercept<HRESULT>(info, forward);
  }

  IShellLinkW* link_;
  IPersistFile* file_ = nullptr;
  ULONG refs_ = 1;
};

// COM initialisations the tool made and undid.
int g_comInits = 0;
HRESULT WINAPI CountedCoInitialize(LPVOID reserved) {
  const HRESULT hr = RealPlatform().CoInitialize(reserved);
  if (SUCCEEDED(hr)) ++g_comInits;
  return hr;
}
void WINAPI CountedCoUninitialize() {
  --g_comInits;
  RealPlatform().CoUninitialize();
}

HRESULT WINAPI CreateCountedLink(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                                 LPVOID* out) {
  IShellLinkW* link = nullptr;
  const HRESULT hr =
      RealPlatform().CoCreateInstance(clsid, outer, context, iid, reinterpret_cast<void**>(&link));
  *out = SUCCEEDED(hr) ? static_cast<IShellLinkW*>(new CountedLink(link)) : nullptr;
  return hr;
}

std::wstring g_out;

wttest::fault::FaultTable<Platform> Faults() {
  Platform inner = RealPlatform();
  inner.CoInitialize = CountedCoInitialize;
  inner.CoUninitialize = CountedCoUninitialize;
  inner.CoCreateInstance = CreateCountedLink;
  inner.Write = [](std::wstring_view text) { g_out += text; };
  wttest::fault::FaultTable<Platform> t(inner);
  t.Add<&Platform::CreateFileW>("CreateFileW", Fails::kInvalidHandle)
      .Add<&Platform::GetFileSize>("GetFileSize", Fails::kAllOnes)
      .Add<&Platform::ReadFile>("ReadFile")
      .AddRelease<&Platform::CloseHandle>("CloseHandle")
      .Add<&Platform::LocalAlloc>("LocalAlloc", Fails::kByType, ERROR_NOT_ENOUGH_MEMORY)
      .AddRelease<&Platform::LocalFree>("LocalFree")
      .Add<&Platform::MultiByteToWideChar>("MultiByteToWideChar", Fails::kZero,
                                           ERROR_NOT_ENOUGH_MEMORY)
      .Add<&Platform::CoInitialize>("CoInitialize", Fails::kHresult, ERROR_OUTOFMEMORY)
      .Add<&Platform::CoUninitialize>("CoUninitialize", Fails::kNever)
      .Add<&Platform::CoCreateInstance>("CoCreateInstance", Fails::kHresult, ERROR_OUTOFMEMORY)
      .Add<&Platform::SHGetSpecialFolderPathW>("SHGetSpecialFolderPathW")
      .Add<&Platform::SHCreateDirectoryExW>("SHCreateDirectoryExW", Fails::kStatus, ERROR_DISK_FULL)
      .Add<&Platform::ExpandEnvironmentStringsW>("ExpandEnvironmentStringsW")
      .Add<&Platform::GetSystemDirectoryW>("GetSystemDirectoryW")
      .Add<&Platform::PathFileExistsW>("PathFileExistsW")
      .Add<&Platform::DeleteFileW>("DeleteFileW")
      .Add<&Platform::FindFirstFileW>("FindFirstFileW", Fails::kInvalidHandle)
      .Add<&Platform::FindNextFileW>("FindNextFileW")
      .AddRelease<&Platform::FindClose>("FindClose")
      .Add<&Platform::RemoveDirectoryW>("RemoveDirectoryW")
      .Add<&Platform::Write>("Write", Fails::kNever);
  return t;
}

// The exit code the page gives for each call's failure.
const std::map<std::string, std::set<int>> kMeanings = {
    {"CreateFileW", {kIniOpenFailed}},
    {"GetFileSize", {kPlatformFailed}},
    {"ReadFile", {kPlatformFailed}},
    {"LocalAlloc", {kNoMemory}},
    {"MultiByteToWideChar", {kPlatformFailed}},
    {"CoInitialize", {kComInitFailed}},
    {"CoCreateInstance", {kPlatformFailed}},
    {"QueryInterface", {kPlatformFailed}},
    {"Save", {kSaveFailed}},
    {"DeleteFileW", {kDeleteFailed}},
};

std::wstring ProgramsFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, path, csidl, FALSE);
  return path;
}

// One command of linkforge, its files prepared anew for every run.
struct Command {
  const char* name;
  std::vector<std::wstring> args;
  std::function<void()> prepare;
  std::set<int> codes;  // the page's exit codes for this command
  // The files afterwards agree with the exit code and the call that failed.
  std::function<bool(int exit)> effect;
  std::vector<const char*> passedOver;  // failures that may still end with 0
};

TEST(LinkforgeFaults, EveryCallOfEveryCommandFailsAsThePageSays) {
  const std::wstring base = wttest::UniqueName(L"wtFault");
  const std::wstring user = ProgramsFolder(CSIDL_PROGRAMS) + L"\\" + base;
  const std::wstring common = ProgramsFolder(CSIDL_COMMON_PROGRAMS) + L"\\" + base;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  // -create makes one shortcut (a save costs as much as the rest of a run
  // under Wine); -deleteall deletes two.
  const std::wstring ini = std::wstring(temp) + base + L".ini";
  const std::wstring both = std::wstring(temp) + base + L"_both.ini";
  const std::string one = "[Constants]\r\nfolderStructure=" + wttest::Narrow(base) +
                          "\\Tools\r\n"
                          "[Shortcut]\r\ndisplayName=One\r\ntarget=C:\\windows\\notepad.exe\r\n"
                          "arguments=-a\r\nstartDirectory=C:\\windows\r\n"
                          "iconLocation=%SystemRoot%\\system32\\shell32.dll\r\niconIndex=3\r\n";
  ASSERT_TRUE(testing::WriteBytes(ini, one));
  ASSERT_TRUE(testing::WriteBytes(both, one + "[Shortcut]\r\ndisplayName=Two\r\n"));
  const auto link = [](const std::wstring& root, const wchar_t* name) {
    return root + L"\\Tools\\" + name + L".lnk";
  };
  const auto has = [&](const std::wstring& root, const wchar_t* name) {
    return testing::Exists(link(root, name));
  };
  const auto clear = [&] {
    testing::RemoveTree(user);
    testing::RemoveTree(common);
  };
  const auto place = [&](const std::wstring& root, const wchar_t* name) {
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW((root + L"\\Tools").c_str(), nullptr);
    testing::WriteBytes(link(root, name), "not read");
  };
  // Only a folder emptied by a deletion may go, and only Tools.
  const auto foldersKept = [&](const std::wstring& root) {
    return testing::Exists(root) &&
           (has(root, L"One") || has(root, L"Two") || has(root, L"Gone") ||
            !testing::Exists(root + L"\\Tools") ||
            FailedOneOf({"FindFirstFileW", "FindNextFileW", "FindClose", "RemoveDirectoryW"}));
  };
  // A check that fails leaves the deletion to decide; the folder's listing
  // and removal are not looked at.
  const std::vector<const char*> listing = {"PathFileExistsW", "FindFirstFileW",   "FindNextFileW",
                                            "FindClose",       "RemoveDirectoryW", "CloseHandle",
                                            "LocalFree"};

  const Command commands[] = {
      // The setters' results are not looked at (a failure would show as a
      // failed save); neither are the icon's expansion and system folder.
      {"-create",
       {L"-create", ini},
       clear,
       {0, -2, -3, -6, -96, -97, -98, -99},
       [&](int exit) { return has(user, L"One") == (exit == kOk); },
       {"SetPath", "SetArguments", "SetWorkingDirectory", "SetIconLocation", "SHCreateDirectoryExW",
        "ExpandEnvironmentStringsW", "GetSystemDirectoryW", "CloseHandle", "LocalFree"}},
      // A location whose Programs folder cannot be located is not tried; the
      // other one's deletion decides.
      {"-delete",
       {L"-delete", base + L"\\Tools", L"Gone"},
       [&] {
         clear();
         place(user, L"Gone");
         place(common, L"Gone");
       },
       {0, -3, -95, -99},
       [&](int exit) {
         const int left = has(user, L"Gone") + has(common, L"Gone");
         if (!foldersKept(user) || !foldersKept(common)) return false;
         if (exit == kOk)
           return left == 0 || (left == 1 && FailedOneOf({"SHGetSpecialFolderPathW"}));
         return left == 1 && exit == kDeleteFailed;
       },
       {"SHGetSpecialFolderPathW", "PathFileExistsW", "FindFirstFileW", "FindNextFileW",
        "FindClose", "RemoveDirectoryW"}},
      {"-deleteall",
       {L"-deleteall", both},
       [&] {
         clear();
         place(user, L"One");
         place(user, L"Two");
       },
       {0, -2, -3, -6, -95, -98, -99},
       [&](int exit) {
         const int left = has(user, L"One") + has(user, L"Two");
         if (!foldersKept(user)) return false;
         if (exit == kOk) return left == 0;
         if (exit == kDeleteFailed) return left == 1;
         return left == 2;
       },
       listing},
  };

  // COM stays up in this thread for the whole sweep (the tool's own
  // initialisations nest inside), so that it is not started anew each run;
  // and every command runs once before counting, as the first use of COM and
  // the shell takes handles that stay with the process.
  ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
  for (const Command& c : commands) {
    c.prepare();
    State().Reset(0);
    linkforge::Run(Faults(), c.args);
  }
  wttest::fault::Tally tally("linkforge");
  wttest::fault::Tally::Paths paths;
  for (const Command& c : commands) {
    paths.emplace_back(c.name, [&c] {
      c.prepare();
      g_out.clear();
      const auto faults = Faults();
      if (!faults.Complete()) return ::testing::AssertionFailure() << "entries missing";
      const int exit = linkforge::Run(faults, c.args);
      if (g_references != 0)
        return ::testing::AssertionFailure() << g_references << " link reference(s) kept";
      if (g_comInits != 0) return ::testing::AssertionFailure() << "COM left initialised";
      if (c.codes.count(exit) == 0)
        return ::testing::AssertionFailure() << "exit " << exit << " is not on the page";
      if (!wttest::fault::Means(kMeanings, exit))
        return ::testing::AssertionFailure() << "exit " << exit << " does not say what failed";
      if (State().failed && exit == kOk && !FailedOneOf(c.passedOver))
        return ::testing::AssertionFailure() << "exit 0 after the failure";
      if (!c.effect(exit))
        return ::testing::AssertionFailure()
               << "the shortcuts disagree with exit " << exit << ": " << wttest::Narrow(g_out);
      return ::testing::AssertionSuccess();
    });
  }
  tally.SweepCountingHandles(paths);
  CoUninitialize();
  testing::RemoveTree(user);
  testing::RemoveTree(common);
  DeleteFileW(ini.c_str());
  DeleteFileW(both.c_str());
}

}  // namespace
}  // namespace linkforge
