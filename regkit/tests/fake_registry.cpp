#include "fake_registry.h"

#include <cstring>
#include <cwchar>
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

LONG WINAPI QueryInfo(HKEY, LPSTR, LPDWORD, LPDWORD, LPDWORD subkeys, LPDWORD, LPDWORD,
                      LPDWORD values, LPDWORD, LPDWORD, LPDWORD, PFILETIME) {
  F().calls.push_back("RegQueryInfoKeyA");
  if (subkeys) *subkeys = static_cast<DWORD>(F().subkeyNames.size());
  if (values) *values = static_cast<DWORD>(F().valueNames.size());
  return ERROR_SUCCESS;
}

// The name at index into name (length in units, its zero included, in and
// out), as both enumerations answer.
LONG Enumerate(const std::vector<std::wstring>& names, DWORD index, LPWSTR name, LPDWORD length) {
  if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
  const std::wstring& n = names[index];
  if (*length <= n.size()) return ERROR_MORE_DATA;
  std::wmemcpy(name, n.c_str(), n.size() + 1);
  *length = static_cast<DWORD>(n.size());
  return ERROR_SUCCESS;
}

LONG WINAPI EnumValue(HKEY, DWORD index, LPWSTR name, LPDWORD length, LPDWORD, LPDWORD, LPBYTE,
                      LPDWORD) {
  F().calls.push_back("RegEnumValueW");
  return Enumerate(F().valueNames, index, name, length);
}

LONG WINAPI EnumKey(HKEY, DWORD index, LPWSTR name, LPDWORD length, LPDWORD, LPWSTR, LPDWORD,
                    PFILETIME) {
  F().calls.push_back("RegEnumKeyExW");
  return Enumerate(F().subkeyNames, index, name, length);
}

LONG WINAPI SetValue(HKEY, LPCWSTR name, DWORD, DWORD, const BYTE*, DWORD) {
  F().calls.push_back("RegSetValueExW");
  F().writes.push_back(L"RegSetValueExW " + std::wstring(name));
  return ERROR_SUCCESS;
}

LONG WINAPI DeleteValue(HKEY, LPCWSTR name) {
  F().calls.push_back("RegDeleteValueW");
  F().writes.push_back(L"RegDeleteValueW " + std::wstring(name));
  return ERROR_SUCCESS;
}

DWORD WINAPI DeleteTree(HKEY, LPCWSTR path) {
  F().calls.push_back("SHDeleteKeyW");
  F().writes.push_back(L"SHDeleteKeyW " + std::wstring(path));
  return ERROR_SUCCESS;
}

void Write(const wchar_t* line) { F().lines.push_back(line); }

}  // namespace

FakeRegistry::FakeRegistry() {
  g_current = this;
  g_queries = 0;
  table_ = {&Open,     &Create,      &Close,     &Query,        &QueryInfo,   &EnumValue,  &EnumKey,
            &SetValue, &DeleteValue, &DeleteKey, &ModuleHandle, &ProcAddress, &DeleteTree, &Write};
}

FakeRegistry::~FakeRegistry() { g_current = nullptr; }

FakeRegistry& FakeRegistry::Current() { return *g_current; }

}  // namespace regkit_test
