#include "fake_registry.h"

#include <cstring>
#include <string>

namespace regkit_test {
namespace {

FakeRegistry* g_current = nullptr;
FakeRegistry& F() { return FakeRegistry::Current(); }
const HKEY kKey = reinterpret_cast<HKEY>(0x7100);
size_t g_queries = 0;

LONG WINAPI Open(HKEY, LPCWSTR, DWORD, REGSAM access, PHKEY key) {
  F().calls.push_back("RegOpenKeyExW");
  const LONG r = F().open(access);
  if (r == ERROR_SUCCESS) *key = kKey, ++F().opens;
  return r;
}

LONG WINAPI Create(HKEY, LPCWSTR, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY key,
                   LPDWORD) {
  F().calls.push_back("RegCreateKeyExW");
  if (F().create == ERROR_SUCCESS) *key = kKey, ++F().opens;
  return F().create;
}

LONG WINAPI Close(HKEY key) {
  F().calls.push_back("RegCloseKey");
  if (key == kKey) ++F().closes;
  return ERROR_SUCCESS;
}

LONG WINAPI Query(HKEY, LPCWSTR, LPDWORD, LPDWORD type, LPBYTE buffer, LPDWORD size) {
  F().calls.push_back("RegQueryValueExW");
  const auto& all = F().data;
  const auto& data = all.empty() ? std::nullopt : all[std::min(g_queries++, all.size() - 1)];
  if (!data) return ERROR_FILE_NOT_FOUND;
  if (type) *type = REG_SZ;
  const DWORD capacity = size ? *size : 0;
  if (size) *size = static_cast<DWORD>(data->size());
  if (!buffer) return ERROR_SUCCESS;
  if (capacity < data->size()) {
    std::memset(buffer, 0x5A, capacity);
    return ERROR_MORE_DATA;
  }
  std::memcpy(buffer, data->data(), data->size());
  std::memset(buffer + data->size(), 'A', capacity - data->size());
  return ERROR_SUCCESS;
}

HMODULE WINAPI ModuleHandle(LPCSTR) {
  F().calls.push_back("GetModuleHandleA");
  return reinterpret_cast<HMODULE>(0x7200);
}

LONG WINAPI DeleteKeyEx(HKEY, LPCWSTR path, REGSAM flag, DWORD) {
  F().calls.push_back("RegDeleteKeyExW");
  F().deletions.push_back(L"RegDeleteKeyExW " + std::wstring(path) + L" " + std::to_wstring(flag));
  return ERROR_SUCCESS;
}

FARPROC WINAPI ProcAddress(HMODULE, LPCSTR name) {
  F().calls.push_back("GetProcAddress");
  if (!F().hasDeleteKeyEx || std::string(name) != "RegDeleteKeyExW") return nullptr;
  return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&DeleteKeyEx));
}

LONG WINAPI DeleteKey(HKEY, LPCWSTR path) {
  F().calls.push_back("RegDeleteKeyW");
  F().deletions.push_back(L"RegDeleteKeyW " + std::wstring(path));
  return ERROR_SUCCESS;
}

// Entries no test scripts: recorded, and they fail.
template <typename R, typename... A>
R WINAPI Unscripted(A...) {
  F().calls.push_back("unscripted");
  return ERROR_CALL_NOT_IMPLEMENTED;
}

void Write(const wchar_t* line) { F().lines.push_back(line); }

}  // namespace

FakeRegistry::FakeRegistry() {
  g_current = this;
  g_queries = 0;
  table_ = {&Open,
            &Create,
            &Close,
            &Query,
            &Unscripted<LONG, HKEY, LPSTR, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD, LPDWORD,
                        LPDWORD, LPDWORD, LPDWORD, PFILETIME>,
            &Unscripted<LONG, HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPDWORD, LPBYTE, LPDWORD>,
            &Unscripted<LONG, HKEY, DWORD, LPWSTR, LPDWORD, LPDWORD, LPWSTR, LPDWORD, PFILETIME>,
            &Unscripted<LONG, HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD>,
            &Unscripted<LONG, HKEY, LPCWSTR>,
            &DeleteKey,
            &ModuleHandle,
            &ProcAddress,
            &Unscripted<DWORD, HKEY, LPCWSTR>,
            &Write};
}

FakeRegistry::~FakeRegistry() { g_current = nullptr; }

FakeRegistry& FakeRegistry::Current() { return *g_current; }

}  // namespace regkit_test
