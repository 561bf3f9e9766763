#include "wttest/platform.h"

#include <windows.h>

#include <atomic>
#include <vector>

namespace wttest {

bool RunningUnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring UniqueName(const std::wstring& prefix) {
  static std::atomic<unsigned> counter{0};
  return prefix + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
}

namespace {

// SystemHandleInformation (16) of NtQuerySystemInformation: the handle table
// of every process, one entry per handle.
struct HandleEntry {
  ULONG processId;
  BYTE objectType;
  BYTE flags;
  USHORT value;
  PVOID object;
  ACCESS_MASK access;
};
struct HandleTable {
  ULONG count;
  HandleEntry entries[1];
};

DWORD HandlesInSystemTable() {
  using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
  static const auto query = reinterpret_cast<Query>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
  if (!query) return 0;
  std::vector<char> buffer(1 << 20);
  for (;;) {
    ULONG needed = 0;
    const LONG status = query(16, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
    if (status == static_cast<LONG>(0xC0000004)) {  // STATUS_INFO_LENGTH_MISMATCH
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != 0) return 0;
    break;
  }
  const auto* table = reinterpret_cast<const HandleTable*>(buffer.data());
  DWORD n = 0;
  for (ULONG i = 0; i < table->count; ++i)
    if (table->entries[i].processId == GetCurrentProcessId()) ++n;
  return n;
}

}  // namespace

unsigned long ProcessHandleCount() {
  DWORD handles = 0;
  GetProcessHandleCount(GetCurrentProcess(), &handles);
  // A live process holds handles: 0 means not counted.
  return handles != 0 ? handles : HandlesInSystemTable();
}

std::string Narrow(const std::wstring& text) {
  if (text.empty()) return std::string();
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string s(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &s[0], n, nullptr,
                      nullptr);
  return s;
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int n =
      MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring s(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &s[0], n);
  return s;
}

}  // namespace wttest
