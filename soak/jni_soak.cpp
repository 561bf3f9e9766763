#include "jni_soak.h"

#include <fcntl.h>
#include <io.h>
#include <psapi.h>

#include <cstdio>
#include <vector>

#include "e2e_support.h"
#include "wt/owned.h"
#include "wttest/platform.h"
#include "wttest/process.h"

namespace soak {

namespace {

// Wine leaves PrivateUsage 0: the committed private memory, region by region,
// is what it stands for.
SIZE_T CommittedPrivateMemory() {
  SYSTEM_INFO si;
  GetSystemInfo(&si);
  SIZE_T sum = 0;
  auto* at = static_cast<char*>(si.lpMinimumApplicationAddress);
  while (at < static_cast<char*>(si.lpMaximumApplicationAddress)) {
    MEMORY_BASIC_INFORMATION m;
    if (!VirtualQuery(at, &m, sizeof m)) {
      at += si.dwAllocationGranularity;
      continue;
    }
    if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) sum += m.RegionSize;
    at = static_cast<char*>(m.BaseAddress) + m.RegionSize;
  }
  return sum;
}

}  // namespace

ProcessFigures Measure() {
  ProcessFigures f;
  GetProcessHandleCount(GetCurrentProcess(), &f.handles);
  PROCESS_MEMORY_COUNTERS_EX counters{};
  counters.cb = sizeof counters;
  if (GetProcessMemoryInfo(GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters), sizeof counters))
    f.privateBytes = counters.PrivateUsage;
  // A live process has handles and private memory: 0 means not counted.
  if (f.handles == 0) {
    f.handles = wttest::ProcessHandleCount();
    f.handlesCounted = true;
  }
  if (f.privateBytes == 0) {
    f.privateBytes = CommittedPrivateMemory();
    f.privateBytesSummed = true;
  }
  return f;
}

namespace {

double Now() {
  static const double frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / frequency;
}

// Standard output (file descriptor 1, which the libraries share with this
// program through the C runtime DLL) into a scratch file, emptied after each
// batch so it never grows.
class StdoutToScratch {
 public:
  StdoutToScratch() {
    wchar_t temp[MAX_PATH + 1];
    const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp, n) + wttest::UniqueName(L"soak_stdout_") + L".txt";
    std::fflush(stdout);
    saved_ = _dup(1);
    const int scratch =
        _wopen(path_.c_str(), _O_WRONLY | _O_CREAT | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (saved_ >= 0 && scratch >= 0) _dup2(scratch, 1);
    if (scratch >= 0) _close(scratch);
  }
  ~StdoutToScratch() {
    std::fflush(stdout);
    if (saved_ >= 0) {
      _dup2(saved_, 1);
      _close(saved_);
    }
    DeleteFileW(path_.c_str());
  }
  void Empty() {
    std::fflush(stdout);
    _chsize(1, 0);
    _lseek(1, 0, SEEK_SET);
  }

 private:
  std::wstring path_;
  int saved_ = -1;
};

// Keys of the registry workload.
constexpr jint kCurrentUser = 0;  // any root code but 1, 2, 8 and 16
constexpr REGSAM kView64 = KEY_WOW64_64KEY;
constexpr REGSAM kView32 = KEY_WOW64_32KEY;
constexpr int kListed = 20;

wt::OwnedKey CreateKey(const std::wstring& path, REGSAM view) {
  wt::OwnedKey key(::RegCloseKey);
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view,
                      nullptr, key.put(), nullptr) != ERROR_SUCCESS)
    key.reset();
  return key;
}

bool MakeKey(HKEY parent, const wchar_t* sub) {
  wt::OwnedKey key(::RegCloseKey);
  return RegCreateKeyExW(parent, sub, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr) ==
         ERROR_SUCCESS;
}

bool SetText(HKEY key, const wchar_t* name, const std::wstring& data, DWORD type = REG_SZ) {
  return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool SetDword(HKEY key, const wchar_t* name, DWORD data) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data) == ERROR_SUCCESS;
}

class RegKit : public Workload {
 public:
  RegKit();
  ~RegKit() override;
  const wchar_t* library() const override { return L"libRegKit.dll"; }
  const char* exportPrefix() const override {
    return "Java_com_tev_tools_deployjni_regkit_RegKitAPIDef_";
  }

 private:
  void Add(const std::string& name,
           std::function<bool(const wttest::JniLibrary&, wttest::JniHost&, int)> call) {
    methods.push_back(Method{name, std::move(call)});
  }

  std::wstring base_;
  // The parent keys of the deletions in both views, open for the whole soak.
  wt::OwnedKey parent64_{::RegCloseKey};
  wt::OwnedKey parent32_{::RegCloseKey};
};

RegKit::RegKit() : base_(L"Software\\" + wttest::UniqueName(L"wtSoak_")) {
  // The same layout in both views (on Windows HKCU\Software is one key for
  // both; Wine may keep two).
  for (REGSAM view : {kView64, kView32}) {
    wt::OwnedKey data = CreateKey(base_ + L"\\data", view);
    wt::OwnedKey list = CreateKey(base_ + L"\\list", view);
    wt::OwnedKey writes = CreateKey(base_ + L"\\writes", view);
    bool ok = data && list && writes && SetText(data.get(), L"text", L"C:\\Program Files\\TEV") &&
              SetText(data.get(), L"multi", std::wstring(L"first\0second\0", 14), REG_MULTI_SZ) &&
              SetDword(data.get(), L"number", 42);
    // More entries than the 16 local references of a native method's frame.
    for (int i = 0; i < kListed; ++i) {
      const std::wstring name = std::to_wstring(i);
      ok = ok && SetText(list.get(), name.c_str(), name) && MakeKey(list.get(), name.c_str());
    }
    if (!ok) setupError = "cannot prepare the keys below HKCU\\" + wttest::Narrow(base_);
  }
  parent64_ = CreateKey(base_ + L"\\deletions", kView64);
  parent32_ = CreateKey(base_ + L"\\deletions", kView32);
  if (!parent64_ || !parent32_) setupError = "cannot open the deletion keys";

  const std::wstring data = base_ + L"\\data", list = base_ + L"\\list",
                     writes = base_ + L"\\writes", deletions = base_ + L"\\deletions";
  using L = const wttest::JniLibrary&;
  using H = wttest::JniHost&;
  auto s = [](H h, const std::wstring& text) { return h.NewJavaString(text); };
  auto text = [](H h, jstring r, const wchar_t* want) { return h.Text(r) == std::wstring(want); };
  auto count = [](H h, jobjectArray r, size_t n) {
    auto a = h.StringArray(r);
    return a && a->size() == n;
  };

  for (const char* m : {"RegKeyExists32", "RegKeyExists64"})
    Add(m, [=](L l, H h, int) { return l.Call<jint>(h, m, kCurrentUser, s(h, data)) == 1; });
  for (const char* m : {"CreateRegKey", "CreateRegKeyWow64", "CreateRegKey32"})
    Add(m, [=](L l, H h, int) { return l.Call<jint>(h, m, kCurrentUser, s(h, writes)) == 1; });
  for (const char* m : {"RegQueryValueEx", "RegQueryValueExWow64", "RegQueryValue32"})
    Add(m, [=](L l, H h, int) {
      jstring key = s(h, data), value = s(h, L"text");
      return text(h, l.Call<jstring>(h, m, kCurrentUser, key, value), L"C:\\Program Files\\TEV");
    });
  Add("RegQueryMultiValue", [=](L l, H h, int i) {
    jstring key = s(h, data), value = s(h, L"multi");
    const jboolean view64 = i % 2 ? JNI_TRUE : JNI_FALSE;
    return text(h, l.Call<jstring>(h, "RegQueryMultiValue", kCurrentUser, key, value, view64),
                L"first\nsecond");
  });
  for (const char* m : {"RegQueryDwordValue", "RegQueryDwordValue32"})
    Add(m, [=](L l, H h, int) {
      jstring key = s(h, data), value = s(h, L"number");
      return l.Call<jint>(h, m, kCurrentUser, key, value) == 42;
    });
  for (const char* m : {"RegQueryType64", "RegQueryType32"})
    Add(m, [=](L l, H h, int) {
      jstring key = s(h, data), value = s(h, L"multi");
      return l.Call<jlong>(h, m, kCurrentUser, key, value) == REG_MULTI_SZ;
    });
  for (const char* m : {"valuesForKey64", "valuesForKey32"})
    Add(m, [=](L l, H h, int) {
      return count(h, l.Call<jobjectArray>(h, m, kCurrentUser, s(h, list)), kListed);
    });
  for (const char* m : {"childrenForKey64", "childrenForKey32"})
    Add(m, [=](L l, H h, int) {
      return count(h, l.Call<jobjectArray>(h, m, kCurrentUser, s(h, list)), kListed);
    });
  for (const char* m : {"SetRegValue", "SetRegValueWow64", "SetRegValue32"})
    Add(m, [=](L l, H h, int i) {
      jstring key = s(h, writes), value = s(h, L"installDir"),
              text = s(h, L"C:\\Program Files\\TEV\\" + std::to_wstring(i));
      // 1 REG_SZ and 104 REG_EXPAND_SZ by turns.
      return l.Call<jint>(h, m, kCurrentUser, key, value, text, i % 2 ? 104 : 1) == 1;
    });
  for (const char* m : {"SetRegDwordValue", "SetRegDwordValue32"})
    Add(m, [=](L l, H h, int i) {
      jstring key = s(h, writes), value = s(h, L"port");
      return l.Call<jint>(h, m, kCurrentUser, key, value, 8000 + i, 101) == 1;
    });
  Add("DelRegkeyValue", [=](L l, H h, int i) {
    const bool view64 = i % 2;
    if (!SetDword(view64 ? parent64_.get() : parent32_.get(), L"gone", i)) return false;
    jstring key = s(h, deletions), value = s(h, L"gone");
    return l.Call<jint>(h, "DelRegkeyValue", kCurrentUser, key, value,
                        view64 ? JNI_TRUE : JNI_FALSE) == 1;
  });
  // The x64 build's own view is the 64-bit one.
  const struct {
    const char* method;
    HKEY parent;
    const wchar_t* sub;
  } deletes[] = {{"DelRegKey32BitOS", parent64_.get(), L"os"},
                 {"DelRegKeyWOW32Bit", parent32_.get(), L"wow32"},
                 {"DelRegKeyWOW64Bit", parent64_.get(), L"wow64"},
                 {"DelRegTree", parent64_.get(), L"tree\\a\\b"}};
  for (const auto& d : deletes)
    Add(d.method, [=](L l, H h, int) {
      if (!MakeKey(d.parent, d.sub)) return false;
      const std::wstring top = std::wstring(d.sub).substr(0, std::wstring(d.sub).find(L'\\'));
      return l.Call<jint>(h, d.method, kCurrentUser, s(h, deletions + L"\\" + top)) == 1;
    });
}

RegKit::~RegKit() {
  parent64_.reset();
  parent32_.reset();
  const std::wstring name = base_.substr(base_.find(L'\\') + 1);
  for (REGSAM view : {kView64, kView32}) {
    wt::OwnedKey software(::RegCloseKey);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, L"Software", 0, KEY_ALL_ACCESS | view, software.put()) ==
        ERROR_SUCCESS)
      RegDeleteTreeW(software.get(), name.c_str());
  }
}

using hostprobe_e2e::WriteBytes;

class HostProbe : public Workload {
 public:
  HostProbe();
  ~HostProbe() override;
  const wchar_t* library() const override { return L"libHostProbe.dll"; }
  const char* exportPrefix() const override {
    return "Java_com_tev_tools_deployjni_hostprobe_HostProbeAPIDef_";
  }

 private:
  void Add(const char* name,
           std::function<bool(const wttest::JniLibrary&, wttest::JniHost&, int)> call) {
    methods.push_back(Method{name, std::move(call)});
  }

  hostprobe_e2e::TempFolder temp_;
  std::wstring font_;
  wt::OwnedHandle held_{::CloseHandle};  // open without delete sharing: write-locked
};

HostProbe::HostProbe() {
  const std::wstring source = temp_ / L"setup.cfg", copy = temp_ / L"setup copy.cfg",
                     moved = temp_ / L"moved", doomed = temp_ / L"doomed.tmp",
                     longName = temp_ / L"A folder name longer than eight characters",
                     locked = temp_ / L"locked.log";
  font_ = temp_ / L"soakfont.ttf";
  const std::string content(4096, 'x');
  if (!WriteBytes(source, content) || !WriteBytes(moved + L"0", content) ||
      !WriteBytes(locked, "") || !CreateDirectoryW(longName.c_str(), nullptr) ||
      !WriteBytes(longName + L"\\Readme file.txt", content)) {
    setupError = "cannot make the files in " + wttest::Narrow(temp_.path());
  }
  held_.reset(CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!held_) setupError = "cannot hold " + wttest::Narrow(locked);
  const bool haveFont = hostprobe_e2e::WriteUniqueTestFont(font_);
  if (!haveFont) note = "registerFont and unregisterFont left out: no test font (WT_TEST_FONT)";

  using L = const wttest::JniLibrary&;
  using H = wttest::JniHost&;
  auto s = [](H h, const std::wstring& text) { return h.NewJavaString(text); };
  auto some = [](H h, jstring r) {
    auto t = h.Text(r);
    return t && !t->empty();
  };
  for (const char* m : {"GetHostProbeVersion", "GetWinVerStr", "getSysDr", "getSystemDirectory",
                        "WinGetComputerName"})
    Add(m, [=](L l, H h, int) { return some(h, l.Call<jstring>(h, m)); });
  for (const char* m :
       {"GetArchitectureWin", "GetCPULevelWin", "GetCPUModelWin", "GetCPUSteppingWin"})
    Add(m, [=](L l, H h, int) { return l.Call<jint>(h, m) >= 0; });
  Add("isWow64", [=](L l, H h, int) { return l.Call<jint>(h, "isWow64") == 0; });
  Add("GetCPUNumWin", [=](L l, H h, int) { return l.Call<jint>(h, "GetCPUNumWin") >= 1; });
  Add("GetPhysicalMemory",
      [=](L l, H h, int) { return l.Call<jlong>(h, "GetPhysicalMemory") > 0; });
  Add("Copy64NoRedirect", [=](L l, H h, int) {
    jstring from = s(h, source), to = s(h, copy);
    return l.Call<jint>(h, "Copy64NoRedirect", from, to) == 1;
  });
  Add("Delete64NoRedirect", [=](L l, H h, int) {
    return WriteBytes(doomed, "x") && l.Call<jint>(h, "Delete64NoRedirect", s(h, doomed)) == 1;
  });
  Add("MoveFileEx", [=](L l, H h, int i) {
    // Back and forth between two names.
    jstring from = s(h, moved + std::to_wstring(i % 2)),
            to = s(h, moved + std::to_wstring(1 - i % 2));
    return l.Call<jint>(h, "MoveFileEx", from, to, MOVEFILE_REPLACE_EXISTING) == 1;
  });
  Add("GetShortPath", [=](L l, H h, int) {
    return some(h, l.Call<jstring>(h, "GetShortPath", s(h, longName + L"\\Readme file.txt")));
  });
  Add("IsFileWriteLocked", [=](L l, H h, int i) {
    // The held file is locked; the copy source is not.
    const bool held = i % 2;
    return l.Call<jint>(h, "IsFileWriteLocked", s(h, held ? locked : source)) == (held ? 1 : 0);
  });
  if (haveFont) {
    Add("registerFont",
        [=](L l, H h, int) { return l.Call<jint>(h, "registerFont", s(h, font_)) == 1; });
    Add("unregisterFont", [=](L l, H h, int) {
      return AddFontResourceW(font_.c_str()) > 0 &&
             l.Call<jint>(h, "unregisterFont", s(h, font_)) == 1;
    });
  }
  // Whether the broadcast counts as handled depends on the windows there
  // are; only that it returns is checked.
  Add("registerEnvironmentChange", [=](L l, H h, int) {
    const jint r = l.Call<jint>(h, "registerEnvironmentChange");
    return r == 0 || r == 1;
  });
}

HostProbe::~HostProbe() {
  held_.reset();
  for (int i = 0; i < 1000 && RemoveFontResourceW(font_.c_str()); ++i) {
  }
}

}  // namespace

std::unique_ptr<Workload> HostProbeWorkload() { return std::make_unique<HostProbe>(); }
std::unique_ptr<Workload> RegKitWorkload() { return std::make_unique<RegKit>(); }

LibraryResult Run(Workload& workload, int calls, int warmupCalls, int batchSize) {
  LibraryResult result;
  wttest::JniLibrary library(wttest::BinaryDirectory() + workload.library(),
                             workload.exportPrefix());
  if (!library.loaded()) {
    result.loadError = "LoadLibraryW error " + std::to_string(library.loadError());
    return result;
  }
  StdoutToScratch scratch;
  auto finishHost = [&](wttest::JniHost& host) {
    result.outstandingChars += host.OutstandingChars();
    for (auto& e : host.Errors()) result.errors.push_back(e);
    scratch.Empty();
  };
  // First calls load DLLs, fill caches and grow the heap once.
  {
    wttest::JniHost host;
    for (const Method& m : workload.methods)
      for (int i = 0; i < warmupCalls; ++i) m.call(library, host, i);
    finishHost(host);
  }
  result.before = Measure();
  const double start = Now();
  for (const Method& m : workload.methods) {
    MethodResult r;
    r.name = m.name;
    r.calls = calls;
    const ProcessFigures at = Measure();
    const double t0 = Now();
    for (int done = 0; done < r.calls;) {
      wttest::JniHost host;
      for (int end = std::min(r.calls, done + batchSize); done < end; ++done)
        if (!m.call(library, host, done)) ++r.unexpected;
      finishHost(host);
    }
    r.seconds = Now() - t0;
    const ProcessFigures end = Measure();
    r.handleDelta = static_cast<long>(end.handles) - static_cast<long>(at.handles);
    r.privateDelta =
        static_cast<long long>(end.privateBytes) - static_cast<long long>(at.privateBytes);
    result.calls += r.calls;
    result.methods.push_back(r);
  }
  result.seconds = Now() - start;
  result.after = Measure();
  return result;
}

}  // namespace soak
