// The toolkit loader: an encoded password ("{...}") is decoded by the
// product's VQ toolkit runtime. The program finds the installation in the
// registry, extends the toolkit search path VQPATH, finds and loads the
// toolkit library, boots it, has it decode the one password and shuts it
// down again. Nothing else in the program touches the toolkit.
//
// What the program relies on of the toolkit and of its optional bridge
// library is declared in vqtoolkit.h.
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "operations.h"
#include "password_rules.h"
#include "vqtoolkit.h"

namespace acctmgr {
namespace {

constexpr wchar_t kProductKey[] = L"SOFTWARE\\TEV Works Inc.\\The TEV System\\";
constexpr wchar_t kCurrentVersionKey[] =
    L"SOFTWARE\\TEV Works Inc.\\The TEV System\\CurrentVersion";
constexpr DWORD kValueChars = 1024;  // registry values are read into 2048 bytes
constexpr size_t kSearchPathChars = 1024;
constexpr size_t kListChars = 32766;  // the longest environment value
constexpr DWORD kBridgePathChars = 2040;
constexpr uint32_t kSearchErrorBytes = 8192;
constexpr uint32_t kBootErrorBytes = 256;

// The install-path area. An installer may write a path after the marker in
// the program file itself; the toolkit learns it through setinstallpath.
// Writable and kept whole, so the marker stays findable in the image.
char g_installPathArea[1024] = "Install_VQPATH=0";
constexpr size_t kInstallMarkerChars = 16;

// Registration state. The toolkit registers its host interface while it
// boots and undoes that when it shuts down; registrations nest, and the
// interface current before the first one comes back after the last.
VqHost* g_currentHost = nullptr;
int g_hostNesting = 0;
VqHost* g_savedHost = nullptr;

int VQCALL RegisterHost(VqHost* host) {
  if (host != nullptr) {
    if (g_hostNesting == 0) g_savedHost = g_currentHost;
    g_currentHost = host;
    ++g_hostNesting;
  } else if (g_hostNesting > 0) {
    if (--g_hostNesting == 0) g_currentHost = g_savedHost;
  }
  return 0;
}

// One decode's hold on the toolkit: the boot record (which the toolkit may
// keep until it is shut down), the search's error text, and the bridge,
// which stays loaded while the toolkit it resolved for runs.
struct Session {
  explicit Session(const Platform& p) : bridge(p.FreeLibrary) {}
  VqBootRecord record{};
  char searchError[kSearchErrorBytes] = {};
  uint32_t searchCapacity = 0;
  wt::Owned<decltype(&::FreeLibrary)> bridge;
  HbxResolver* resolver = nullptr;  // only during the bridge's own search
  std::wstring libraryName;
};

template <typename Fn>
Fn Export(const Platform& p, HMODULE library, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p.GetProcAddress(library, name)));
}

// The whole value of a variable; false when it is unset or empty.
bool ReadVariable(const Platform& p, const wchar_t* name, std::wstring* value) {
  std::wstring buffer(256, L'\0');
  for (;;) {
    const DWORD n = p.GetEnvironmentVariableW(name, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (n == 0) return false;
    if (n < buffer.size()) {
      value->assign(buffer.data(), n);
      return true;
    }
    buffer.resize(n);  // n is the size needed, terminator included
  }
}

// The same in the ANSI code page, for the bridge's request.
bool ReadVariableA(const Platform& p, const char* name, std::string* value) {
  std::string buffer(256, '\0');
  for (;;) {
    const DWORD n = p.GetEnvironmentVariableA(name, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (n == 0) return false;
    if (n < buffer.size()) {
      value->assign(buffer.data(), n);
      return true;
    }
    buffer.resize(n);
  }
}

// The values of the named variables that are set, each followed by ";", as
// far as they fit a list of kListChars characters. DEF_VQPATH is emptied
// once it has been read.
std::wstring BuildList(const Platform& p, std::initializer_list<const wchar_t*> names) {
  std::wstring list, value;
  for (const wchar_t* name : names) {
    if (!ReadVariable(p, name, &value)) continue;
    if (std::wcscmp(name, L"DEF_VQPATH") == 0) p.SetEnvironmentVariableW(name, L"");
    if (list.size() + value.size() + 1 > kListChars) continue;
    list += value;
    list += L';';
  }
  return list;
}

// A registry value read into 1024 characters and terminated; its type is
// not checked.
LSTATUS ReadValue(const Platform& p, HKEY key, const wchar_t* name, std::wstring* text) {
  wchar_t buffer[kValueChars + 1] = {};
  DWORD bytes = kValueChars * sizeof(wchar_t);
  const LSTATUS status =
      p.RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &bytes);
  if (status == ERROR_SUCCESS) *text = buffer;
  return status;
}

// Finds the installation root and puts its toolkit folder on VQPATH.
//
// The version key: when the key of the version text does not exist, the
// text is cut at its last "." and tried again ("7.1.3", then "7.1", then
// "7"), so an installation registered under its major version is found. Any
// other failure ends the lookup at once.
int LocateInstallation(Context& ctx) {
  const Platform& p = ctx.p;
  std::wstring old;
  ReadVariable(p, L"VQPATH", &old);

  wt::Owned key(p.RegCloseKey, HKEY{});
  LSTATUS status = p.RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersionKey, 0, KEY_READ, key.put());
  if (status != ERROR_SUCCESS) {
    key.release();
    ReportError(ctx, status);
    return kNoVersionKey;
  }
  std::wstring version;
  status = ReadValue(p, key.get(), L"CurrentVersion", &version);
  if (status != ERROR_SUCCESS) {
    ReportError(ctx, status);
    return kNoVersion;
  }
  key.reset();

  // An empty version text would name the product key itself.
  std::wstring tried = version;
  status = ERROR_FILE_NOT_FOUND;
  while (!tried.empty()) {
    status =
        p.RegOpenKeyExW(HKEY_LOCAL_MACHINE, (kProductKey + tried).c_str(), 0, KEY_READ, key.put());
    if (status == ERROR_SUCCESS) break;
    key.release();
    const size_t dot = tried.rfind(L'.');
    if (status != ERROR_FILE_NOT_FOUND || dot == std::wstring::npos) break;
    tried.resize(dot);
  }
  if (status != ERROR_SUCCESS) {
    const wchar_t* args[] = {version.c_str()};
    ReportError(ctx, status, args);
    return kNoInstallKey;
  }
  std::wstring root;
  if (ReadValue(p, key.get(), L"DefaultRoot", &root) != ERROR_SUCCESS) return kNoInstallRoot;
  key.reset();

  // The new value is bounded to 1024 characters: a longer one is refused,
  // never cut, since a cut path would name another folder.
  const std::wstring value = ComposeSearchPath(old, root, kSearchPathChars);
  if (value.empty()) {
    const wchar_t* args[] = {L"VQPATH"};
    ReportError(ctx, ERROR_FILENAME_EXCED_RANGE, args);
    return kNoSearchPath;
  }
  if (!p.SetEnvironmentVariableW(L"VQPATH", value.c_str())) return kNoSearchPath;
  const wchar_t* args[] = {value.c_str()};
  ShowMessage(ctx, MSG_USING_PRODUCT, args, Stream::Err);
  return kOk;
}

// Appends text to the search's error text when it fits capacity with its
// terminator.
bool AppendError(char* out, uint32_t* used, uint32_t capacity, const char* text, size_t length) {
  if (*used + length + 1 > capacity) return false;
  std::memcpy(out + *used, text, length);
  *used += static_cast<uint32_t>(length);
  out[*used] = '\0';
  return true;
}

std::string ToAnsi(const Platform& p, const std::wstring& text) {
  const int n = p.WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
  std::string bytes(n > 0 ? static_cast<size_t>(n) : 0, '\0');
  if (n > 0) {
    p.WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], n,
                          nullptr, nullptr);
  }
  return bytes;
}

// Why a candidate failed: "<system text>:  <candidate path>", each part only
// when it fits, the library name for a path that does not. Every candidate's
// text is written into the whole buffer, so the last one is always there
// however long the earlier ones were; the record's capacity field then
// holds its length.
void WriteSearchError(const Platform& p, Session& s, DWORD error, const std::wstring& candidate) {
  VqBootFields& f = s.record.fields;
  const uint32_t capacity = s.searchCapacity;
  uint32_t used = 0;
  f.errorText[0] = '\0';
  char* text = nullptr;
  const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                      FORMAT_MESSAGE_FROM_SYSTEM | 0xFF;  // 0x13FF: one line, no line break
  const DWORD n = p.FormatMessageA(flags, nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                   reinterpret_cast<char*>(&text), 0, nullptr);
  if (n != 0 && text != nullptr) {
    AppendError(f.errorText, &used, capacity, text, TrimSystemText(std::string_view(text, n)));
  }
  if (text != nullptr) p.LocalFree(text);
  if (used + 4 <= capacity) AppendError(f.errorText, &used, capacity, ":  ", 3);
  const std::string path = ToAnsi(p, candidate);
  if (!AppendError(f.errorText, &used, capacity, path.data(), path.size()) &&
      used + 256 <= capacity) {
    const std::string name = ToAnsi(p, s.libraryName);
    AppendError(f.errorText, &used, capacity, name.data(), name.size());
  }
  f.errorCapacity = used;
}

// Tries each element of list in turn: the first library there that exports
// the boot entry is kept, and the record filled. The error text describes
// the last candidate that failed.
bool SearchList(const Platform& p, Session& s, std::wstring_view list) {
  VqBootFields& f = s.record.fields;
  f.errorCapacity = s.searchCapacity;
  return ForEachListElement(list, [&](std::wstring_view element) {
    std::wstring candidate(element);
    candidate += L'\\';
    candidate += s.libraryName;
    if (s.resolver != nullptr) {
      s.resolver->ops->map(s.resolver, candidate.c_str());
      if (s.resolver->mapPdbToo) {
        const std::wstring pdb = candidate.substr(0, candidate.size() - 3) + L"pdb";
        s.resolver->ops->map(s.resolver, pdb.c_str());
      }
    }
    DWORD error = 0;
    HMODULE library = p.LoadLibraryW(candidate.c_str());
    if (library == nullptr) {
      error = GetLastError();
    } else {
      if (auto set = Export<VqSetInstallPathFn>(p, library, VQ_SETINSTALLPATH_EXPORT)) {
        set(g_installPathArea + kInstallMarkerChars);
      }
      if (auto boot = Export<VqBootFn>(p, library, VQ_BOOT_EXPORT)) {
        f.bootEntry = boot;
        f.library = library;
        f.usageDataTable =
            reinterpret_cast<const void*>(p.GetProcAddress(library, VQ_USAGE_TABLE_EXPORT));
        uintptr_t value = 0;
        f.resolverValue =
            (s.resolver && s.resolver->ops->query(s.resolver, candidate.c_str(), &value) == 0)
                ? value + 60
                : 0;
        return true;
      }
      error = GetLastError();
      p.FreeLibrary(library);
    }
    if (error != 0) WriteSearchError(p, s, error, candidate);
    return false;
  });
}

void SetLibraryName(const Platform& p, Session& s) {
  std::wstring debug;
  s.libraryName = ReadVariable(p, L"VQDEBUG", &debug) ? L"vqmkd.dll" : L"vqmk.dll";
  s.libraryName.copy(s.record.fields.libraryName, s.libraryName.size());
  s.record.fields.libraryName[s.libraryName.size()] = L'\0';
}

// The bridge, when WUSEIS asks for it: its resolver sees every candidate
// path of a search over the whole list of toolkit folders.
bool SearchWithBridge(const Platform& p, Session& s) {
  wchar_t path[kBridgePathChars] = {};
  const DWORD n = p.SearchPathW(nullptr, L"whbx332", L".dll", kBridgePathChars, path, nullptr);
  if (n == 0 || n >= kBridgePathChars) return false;
  HMODULE bridge = p.LoadLibraryExW(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (bridge == nullptr) bridge = p.LoadLibraryW(path);
  if (bridge == nullptr) return false;
  s.bridge.reset(bridge);
  auto init = Export<HbxInitFn>(p, bridge, HBX_INIT_EXPORT);
  HbxInterface* hbx = init ? init(1) : nullptr;
  if (hbx == nullptr) {
    s.bridge.reset();
    return false;
  }

  std::vector<char> work(4096);
  std::string root, pp, repl, sandbox;
  HbxRequest request = {};
  request.work = work.data();
  request.workSize = static_cast<uint32_t>(work.size());
  request.options = "/tevgen;/u";
  request.vqroot = ReadVariableA(p, "VQROOT", &root) ? root.c_str() : nullptr;
  request.vqpp = ReadVariableA(p, "VQPP", &pp) ? pp.c_str() : nullptr;
  request.vqrepl = ReadVariableA(p, "VQREPL", &repl) ? repl.c_str() : "/tst;/tev";
  request.sdsbox = ReadVariableA(p, "SDSBOX", &sandbox) ? sandbox.c_str() : nullptr;
  s.resolver = hbx->ops->resolver(hbx, 0, nullptr, 0, &request);
  if (s.resolver == nullptr) {
    s.bridge.reset();
    return false;
  }

  SetLibraryName(p, s);
  const std::wstring list = BuildList(p, {L"PRE_VQPATH", L"CMDLINE_VQPATH", L"VQPATH",
                                          L"DEF_VQPATH", L"VQPATHIA32", L"POST_VQPATH"});
  const bool found = SearchList(p, s, list);
  if (found) p.SetEnvironmentVariableW(L"VQ_PATHLIST", list.c_str());
  s.resolver->ops->release(s.resolver);
  s.resolver = nullptr;
  if (!found) s.bridge.reset();
  return found;
}

// Finds the toolkit library: through the bridge, then VQMK, then the toolkit
// folders of VQPATH (the installation's among them), DEF_VQPATH and
// VQPATHIA32, then the program's own core\tevext folder.
bool FindToolkit(const Platform& p, Session& s) {
  std::wstring value;
  for (const wchar_t* name :
       {L"VQ_CMDLINE_OPTIONS", L"VQ_PATHLIST", L"CMDLINE_VQPATH", L"VQ_Default_Options"}) {
    if (ReadVariable(p, name, &value)) p.SetEnvironmentVariableW(name, L"");
  }
  s.searchCapacity = s.record.fields.errorCapacity;

  wchar_t bridgeFlag[8];
  if (p.GetEnvironmentVariableW(L"WUSEIS", bridgeFlag, 8) == 3 && SearchWithBridge(p, s)) {
    return true;
  }

  SetLibraryName(p, s);
  if (ReadVariable(p, L"VQMK", &value) && SearchList(p, s, value)) return true;

  const std::wstring list = BuildList(p, {L"VQPATH", L"DEF_VQPATH", L"VQPATHIA32"});
  if (SearchList(p, s, list)) {
    p.SetEnvironmentVariableW(L"VQ_PATHLIST", list.c_str());
    return true;
  }

  std::wstring own(32768, L'\0');
  const DWORD n = p.GetModuleFileNameW(nullptr, &own[0], static_cast<DWORD>(own.size()));
  if (n == 0 || n >= own.size()) return false;
  own.resize(n);
  own.erase(own.rfind(L'\\') + 1);  // npos + 1 is 0: a bare name leaves nothing
  own += L"core\\tevext";
  if (SearchList(p, s, own)) {
    p.SetEnvironmentVariableW(L"VQ_PATHLIST", own.c_str());
    return true;
  }
  return false;
}

// Copies text into the caller's error buffer, cut to capacity - 1
// characters, and stores the length back.
void GiveError(char* error, uint32_t* capacity, const char* text) {
  if (*capacity == 0) return;
  const size_t length = strnlen(text, *capacity - 1);
  std::memcpy(error, text, length);
  error[length] = '\0';
  *capacity = static_cast<uint32_t>(length);
}

// Loads and boots the toolkit: the instance, or null with the reason in
// error (8-bit, its length stored in *capacity).
VqInstance* BootToolkit(const Platform& p, Session& s, char* error, uint32_t* capacity) {
  VqBootFields& f = s.record.fields;
  f.errorText = s.searchError;
  f.errorCapacity = kSearchErrorBytes;

  // The boot's working block comes first, so memory running out is told
  // before any library is loaded.
  OwnedBlock work(p.LocalFree, p.LocalAlloc(LPTR, 48));
  if (!work) {
    GiveError(error, capacity, "vqBoot Failure: Malloc Failure boot options");
    return nullptr;
  }
  if (!FindToolkit(p, s)) {
    GiveError(error, capacity, s.searchError);
    return nullptr;
  }
  VqInstance* instance = f.bootEntry(0, nullptr, error, capacity, &s.record, RegisterHost, 0, 0);
  if (instance == nullptr) {
    p.FreeLibrary(static_cast<HMODULE>(f.library));
    f.library = nullptr;
  }
  return instance;
}

// The instance undoes its registration; the library it hands back is freed.
void ShutdownToolkit(const Platform& p, VqInstance* instance) {
  void* library = nullptr;
  instance->ops->shutdown(instance, RegisterHost, &library);
  if (library != nullptr) p.FreeLibrary(static_cast<HMODULE>(library));
}

// Pool, decode and copy-out with a booted toolkit. The pool and the text it
// holds are released on every path; the plain text is wiped in the pool
// before it goes back.
int DecodeWithToolkit(Context& ctx, const wchar_t** password, OwnedBlock* plain,
                      size_t* plainBytes) {
  const Platform& p = ctx.p;
  VqHost* host = g_currentHost;
  const VqPoolOptions options = {};
  VqPool* pool = host ? host->ops->createPool(host, &options, 0, "Global Pool") : nullptr;
  if (pool == nullptr) {
    ReportError(ctx, MSG_POOL_FAILED);
    return kPoolFailed;
  }
  int code = kOk;
  wchar_t* text = nullptr;
  uint32_t textChars = 0;
  VqPasswordServices* services = host->passwords;
  const auto encodedChars = static_cast<uint32_t>(std::wcslen(*password));
  if (services == nullptr ||
      services->ops->decode(services, pool, *password, encodedChars, &text, &textChars,
                            host->context) != 0 ||
      text == nullptr) {
    ReportError(ctx, MSG_DECODE_FAILED);
    code = kDecodeFailed;
  } else {
    const size_t bytes = (static_cast<size_t>(textChars) + 1) * sizeof(wchar_t);
    plain->reset(p.LocalAlloc(LPTR, bytes));
    if (!*plain) {
      const DWORD error = GetLastError();
      ReportError(ctx, error);
      code = kNoMemoryPassword;
    } else {
      std::memcpy(plain->get(), text, bytes - sizeof(wchar_t));
      *plainBytes = bytes;
      *password = static_cast<const wchar_t*>(plain->get());
    }
  }
  if (text != nullptr) {
    SecureZeroMemory(text, static_cast<size_t>(textChars) * sizeof(wchar_t));
    pool->ops->freeBlock(pool, text);
  }
  pool->ops->destroy(pool);
  return code;
}

}  // namespace

int DecodePassword(Context& ctx, const wchar_t** password, OwnedBlock* plain, size_t* plainBytes) {
  const Platform& p = ctx.p;
  const int located = LocateInstallation(ctx);
  if (located != kOk) return located;

  Session session(p);
  char error[kBootErrorBytes] = {};
  uint32_t capacity = kBootErrorBytes;
  VqInstance* instance = BootToolkit(p, session, error, &capacity);
  if (instance == nullptr) {
    error[kBootErrorBytes - 1] = '\0';
    const int length = static_cast<int>(strnlen(error, kBootErrorBytes));
    std::wstring text(static_cast<size_t>(length), L'\0');
    if (length > 0) {
      text.resize(
          static_cast<size_t>(p.MultiByteToWideChar(CP_ACP, 0, error, length, &text[0], length)));
    }
    const wchar_t* args[] = {text.c_str()};
    ReportError(ctx, MSG_TOOLKIT_LOAD_FAILED, args);
    return kToolkitNotLoaded;
  }
  const int code = DecodeWithToolkit(ctx, password, plain, plainBytes);
  ShutdownToolkit(p, instance);
  return code;
}

}  // namespace acctmgr
