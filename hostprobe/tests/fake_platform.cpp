#include "fake_platform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace hostprobe_test {

namespace {

FakePlatform* g_current = nullptr;

FakePlatform& F() { return FakePlatform::Current(); }
void Note(const char* name) { F().calls.push_back(name); }

BOOL WINAPI FakeGetVersionExA(LPOSVERSIONINFOA info) {
  Note("GetVersionExA");
  FakePlatform& f = F();
  const DWORD size = info->dwOSVersionInfoSize;
  f.versionSizes.push_back(size);
  if (size == sizeof(OSVERSIONINFOEXA)) {
    if (f.extendedVersionFails) {
      f.lastError = ERROR_INSUFFICIENT_BUFFER;
      return FALSE;
    }
    std::memcpy(info, &f.version, sizeof(OSVERSIONINFOEXA));
  } else if (size == sizeof(OSVERSIONINFOA)) {
    if (f.basicVersionFails) {
      f.lastError = ERROR_INSUFFICIENT_BUFFER;
      return FALSE;
    }
    std::memcpy(info, &f.version, sizeof(OSVERSIONINFOA));
  } else {
    f.lastError = ERROR_INSUFFICIENT_BUFFER;
    return FALSE;
  }
  info->dwOSVersionInfoSize = size;
  return TRUE;
}

void WINAPI FakeGetSystemInfo(LPSYSTEM_INFO info) {
  Note("GetSystemInfo");
  *info = F().systemInfo;
}

void WINAPI FakeGetNativeSystemInfo(LPSYSTEM_INFO info) {
  Note("GetNativeSystemInfo");
  *info = F().nativeInfo;
}

BOOL WINAPI FakeGetProductInfo(DWORD major, DWORD minor, DWORD spMajor, DWORD spMinor,
                               PDWORD type) {
  Note("GetProductInfo");
  F().productInfoArgs = {major, minor, spMajor, spMinor};
  *type = F().productInfo;
  return TRUE;
}

BOOL WINAPI FakeIsWow64Process(HANDLE process, PBOOL wow64) {
  Note("IsWow64Process");
  EXPECT_EQ(process, GetCurrentProcess());
  if (F().isWow64ProcessFails) {
    F().lastError = ERROR_INVALID_HANDLE;
    return FALSE;
  }
  *wow64 = F().wow64;
  return TRUE;
}

BOOL WINAPI FakeWow64Disable(PVOID* old) {
  Note("Wow64DisableWow64FsRedirection");
  if (F().disableFails) return FALSE;
  *old = reinterpret_cast<PVOID>(0x51);
  F().redirectionOff = true;
  return TRUE;
}

BOOL WINAPI FakeWow64Revert(PVOID old) {
  Note("Wow64RevertWow64FsRedirection");
  EXPECT_EQ(old, reinterpret_cast<PVOID>(0x51));
  if (F().revertFails) return FALSE;
  F().redirectionOff = false;
  return TRUE;
}

HMODULE WINAPI FakeGetModuleHandleA(LPCSTR name) {
  Note("GetModuleHandleA");
  EXPECT_TRUE(_stricmp(name, "kernel32.dll") == 0 || _stricmp(name, "KERNEL32") == 0) << name;
  return F().hasKernel32 ? FakePlatform::Kernel32() : nullptr;
}

FARPROC WINAPI FakeGetProcAddress(HMODULE module, LPCSTR name) {
  Note("GetProcAddress");
  EXPECT_EQ(module, FakePlatform::Kernel32());
  FakePlatform& f = F();
  auto entry = [](auto fn) { return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(fn)); };
  const std::string n = name;
  if (n == "GetNativeSystemInfo" && f.hasNativeSystemInfo) return entry(&FakeGetNativeSystemInfo);
  if (n == "GetProductInfo" && f.hasProductInfo) return entry(&FakeGetProductInfo);
  if (n == "IsWow64Process" && f.hasIsWow64Process) return entry(&FakeIsWow64Process);
  if (n == "Wow64DisableWow64FsRedirection" && f.hasWow64Disable) return entry(&FakeWow64Disable);
  if (n == "Wow64RevertWow64FsRedirection" && f.hasWow64Revert) return entry(&FakeWow64Revert);
  return nullptr;
}

HANDLE WINAPI FakeGetCurrentProcess() { return GetCurrentProcess(); }

DWORD WINAPI FakeGetLastError() { return F().lastError; }

const char* FakeGetEnv(const char* name) {
  Note("getenv");
  auto it = F().environment.find(name);
  return it == F().environment.end() ? nullptr : it->second.c_str();
}

UINT WINAPI FakeGetSystemDirectoryA(LPSTR buffer, UINT size) {
  Note("GetSystemDirectoryA");
  FakePlatform& f = F();
  if (f.systemDirectoryFails) return 0;
  const UINT length = static_cast<UINT>(f.systemDirectory.size());
  if (length + 1 > size) return length + 1;
  std::memcpy(buffer, f.systemDirectory.c_str(), length + 1);
  return f.systemDirectoryResult ? f.systemDirectoryResult : length;
}

BOOL WINAPI FakeGlobalMemoryStatusEx(LPMEMORYSTATUSEX status) {
  Note("GlobalMemoryStatusEx");
  EXPECT_EQ(status->dwLength, 64u);
  if (F().memoryFails) return FALSE;
  status->ullTotalPhys = F().totalPhysical;
  return TRUE;
}

BOOL WINAPI FakeGetComputerNameA(LPSTR buffer, LPDWORD size) {
  Note("GetComputerNameA");
  EXPECT_EQ(*size, 0x7FFFu);
  FakePlatform& f = F();
  if (f.computerNameFails) return FALSE;
  std::memcpy(buffer, f.computerName.c_str(), f.computerName.size() + 1);
  *size = static_cast<DWORD>(f.computerName.size());
  return TRUE;
}

BOOL WINAPI FakeCopyFileW(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  Note("CopyFileW");
  F().copies.push_back(std::wstring(from) + L"|" + to + L"|" + std::to_wstring(failIfExists));
  F().redirectionOffAtAction.push_back(F().redirectionOff);
  return F().copyResult;
}

BOOL WINAPI FakeDeleteFileW(LPCWSTR path) {
  Note("DeleteFileW");
  F().deletes.push_back(path);
  F().redirectionOffAtAction.push_back(F().redirectionOff);
  return F().deleteResult;
}

BOOL WINAPI FakeMoveFileExW(LPCWSTR from, LPCWSTR to, DWORD flags) {
  Note("MoveFileExW");
  F().moves.push_back(std::wstring(from) + L"|" + to + L"|" + std::to_wstring(flags));
  return F().moveResult;
}

DWORD WINAPI FakeGetShortPathNameW(LPCWSTR path, LPWSTR buffer, DWORD size) {
  Note("GetShortPathNameW");
  if (F().shortPathName) return F().shortPathName(path, buffer, size);
  F().lastError = ERROR_FILE_NOT_FOUND;
  return 0;
}

HANDLE WINAPI FakeCreateFileW(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES sa,
                              DWORD disposition, DWORD attributes, HANDLE templ) {
  Note("CreateFileW");
  EXPECT_EQ(sa, nullptr);
  EXPECT_EQ(templ, nullptr);
  F().createFileArgs.push_back(std::wstring(path) + L"|" + std::to_wstring(access) + L"|" +
                               std::to_wstring(share) + L"|" + std::to_wstring(disposition) + L"|" +
                               std::to_wstring(attributes));
  if (F().createFileResult == INVALID_HANDLE_VALUE)
    F().lastError = F().createFileError;
  else
    F().opened.push_back(F().createFileResult);
  return F().createFileResult;
}

BOOL WINAPI FakeCloseHandle(HANDLE h) {
  Note("CloseHandle");
  F().closed.push_back(h);
  return TRUE;
}

int WINAPI FakeAddFontResourceW(LPCWSTR) {
  Note("AddFontResourceW");
  if (F().addFontResult > 0) F().fontRegistrations++;
  return F().addFontResult;
}

BOOL WINAPI FakeRemoveFontResourceW(LPCWSTR) {
  Note("RemoveFontResourceW");
  FakePlatform& f = F();
  if (f.removalAlwaysSucceeds) return TRUE;
  if (f.fontRegistrations == 0) return FALSE;
  f.fontRegistrations--;
  return TRUE;
}

BOOL WINAPI FakePostMessageA(HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
  Note("PostMessageA");
  F().posted.push_back(std::to_string(reinterpret_cast<UINT_PTR>(hwnd)) + "|" +
                       std::to_string(msg) + "|" + std::to_string(w) + "|" + std::to_string(l));
  return TRUE;
}

LRESULT WINAPI FakeSendMessageTimeoutA(HWND hwnd, UINT msg, WPARAM w, LPARAM l, UINT flags,
                                       UINT timeout, PDWORD_PTR result) {
  Note("SendMessageTimeoutA");
  F().sent.push_back(std::to_string(reinterpret_cast<UINT_PTR>(hwnd)) + "|" + std::to_string(msg) +
                     "|" + std::to_string(w) + "|" + reinterpret_cast<const char*>(l) + "|" +
                     std::to_string(flags) + "|" + std::to_string(timeout));
  if (F().broadcastStoresAnswer) *result = F().broadcastAnswer;
  return TRUE;
}

BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token) {
  Note("OpenProcessToken");
  EXPECT_EQ(process, GetCurrentProcess());
  F().openTokenAccess = access;
  if (F().openTokenFails) {
    F().lastError = ERROR_ACCESS_DENIED;
    return FALSE;
  }
  *token = FakePlatform::Token();
  F().opened.push_back(*token);
  return TRUE;
}

BOOL WINAPI FakeLookupPrivilegeValueA(LPCSTR system, LPCSTR name, PLUID luid) {
  Note("LookupPrivilegeValueA");
  EXPECT_EQ(system, nullptr);
  F().privilegeName = name;
  luid->LowPart = 19;
  luid->HighPart = 0;
  return TRUE;
}

BOOL WINAPI FakeAdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES state,
                                      DWORD length, PTOKEN_PRIVILEGES previous, PDWORD returned) {
  Note("AdjustTokenPrivileges");
  EXPECT_EQ(token, FakePlatform::Token());
  EXPECT_FALSE(disableAll);
  EXPECT_EQ(length, 0u);
  EXPECT_EQ(previous, nullptr);
  EXPECT_EQ(returned, nullptr);
  F().adjustedCount = state->PrivilegeCount;
  F().adjustedAttributes = state->Privileges[0].Attributes;
  // Any other identifier (one whose lookup failed) is a privilege the token
  // does not hold: enabled nothing, which Windows reports as success with
  // 1300 as last error.
  const bool shutdownPrivilege =
      state->Privileges[0].Luid.LowPart == 19u && state->Privileges[0].Luid.HighPart == 0;
  F().lastError = shutdownPrivilege ? F().adjustError : ERROR_NOT_ALL_ASSIGNED;
  return F().adjustResult;
}

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason) {
  Note("ExitWindowsEx");
  F().exitFlags = flags;
  F().exitReason = reason;
  return F().exitResult;
}

void FakeLogInfo(const char* key, const char* value) {
  F().log.push_back(std::string("INFO: ") + key + "=" + value);
}

void FakeLogWarning(const char* key, const char* value) {
  F().log.push_back(std::string("WARNING: ") + key + "=" + value);
}

}  // namespace

FakePlatform::FakePlatform() {
  EXPECT_EQ(g_current, nullptr) << "one scripted platform at a time";
  g_current = this;
  // Windows 7 SP1 workstation on an x64 machine, seen from a 32-bit process.
  version.dwMajorVersion = 6;
  version.dwMinorVersion = 1;
  version.dwBuildNumber = 7601;
  version.dwPlatformId = VER_PLATFORM_WIN32_NT;
  version.wServicePackMajor = 1;
  version.wProductType = VER_NT_WORKSTATION;
  version.wSuiteMask = 0x0100;
  systemInfo.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
  nativeInfo.wProcessorArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
  table_ = hostprobe::Platform{
      &FakeGetVersionExA,
      &FakeGetSystemInfo,
      &FakeGetModuleHandleA,
      &FakeGetProcAddress,
      &FakeGetCurrentProcess,
      &FakeGetLastError,
      &FakeGetEnv,
      &FakeGetSystemDirectoryA,
      &FakeGlobalMemoryStatusEx,
      &FakeGetComputerNameA,
      &FakeCopyFileW,
      &FakeDeleteFileW,
      &FakeMoveFileExW,
      &FakeGetShortPathNameW,
      &FakeCreateFileW,
      &FakeCloseHandle,
      &FakeAddFontResourceW,
      &FakeRemoveFontResourceW,
      &FakePostMessageA,
      &FakeSendMessageTimeoutA,
      &FakeOpenProcessToken,
      &FakeLookupPrivilegeValueA,
      &FakeAdjustTokenPrivileges,
      &FakeExitWindowsEx,
      &FakeLogInfo,
      &FakeLogWarning,
  };
}

FakePlatform::~FakePlatform() { g_current = nullptr; }

FakePlatform& FakePlatform::Current() { return *g_current; }

bool FakePlatform::AllClosed() const {
  std::vector<HANDLE> a = opened, b = closed;
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  return a == b;
}

int FakePlatform::Count(const std::string& name) const {
  return static_cast<int>(std::count(calls.begin(), calls.end(), name));
}

}  // namespace hostprobe_test
