// The library search of the toolkit loader: the lists of folders the
// toolkit library is looked for in, the optional bridge that sees every
// candidate, and the error text that names the last candidate that failed.
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "password_rules.h"
#include "toolkit.h"

namespace acctmgr {
namespace {

constexpr size_t kListChars = 32766;  // the longest environment value
constexpr DWORD kBridgePathChars = 2040;

// The install-path area. An installer may write a path after the marker in
// the program file itself; the toolkit learns it through setinstallpath.
// Writable and kept whole, so the marker stays findable in the image.
char g_installPathArea[1024] = "Install_VQPATH=0";
constexpr size_t kInstallMarkerChars = 16;

template <typename Fn>
Fn Export(const Platform& p, HMODULE library, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(p.GetProcAddress(library, name)));
}

// An environment variable's value whole, in a buffer grown to the size the
// call asks for; false when the variable is not set (or empty). Wide or ANSI
// (the bridge's request) by the entry given.
template <typename Char, typename Get>
bool ReadVariableWith(Get get, const Char* name, std::basic_string<Char>* value) {
  std::basic_string<Char> buffer(256, Char{});
  for (;;) {
    const DWORD n = get(name, &buffer[0], static_cast<DWORD>(buffer.size()));
    if (n == 0) return false;
    if (n < buffer.size()) {
      value->assign(buffer.data(), n);
      return true;
    }
    buffer.resize(n);  // n is the size needed, terminator included
  }
}

bool ReadVariableA(const Platform& p, const char* name, std::string* value) {
  return ReadVariableWith(p.GetEnvironmentVariableA, name, value);
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

}  // namespace

bool ReadVariable(const Platform& p, const wchar_t* name, std::wstring* value) {
  return ReadVariableWith(p.GetEnvironmentVariableW, name, value);
}

// Through the bridge, then VQMK, then the toolkit folders of VQPATH (the
// installation's among them), DEF_VQPATH and VQPATHIA32, then the program's
// own core\tevext folder.
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

}  // namespace acctmgr
