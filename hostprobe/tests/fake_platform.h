// A scripted platform table for the operations of libHostProbe. Every call is
// recorded by name; the scripted answers are plain fields.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform.h"

namespace hostprobe_test {

class FakePlatform {
 public:
  FakePlatform();
  ~FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  const hostprobe::Platform& table() const { return table_; }
  static FakePlatform& Current();

  // Every call, by Win32 name, in order (looked-up functions included).
  std::vector<std::string> calls;
  int Count(const std::string& name) const;
  // Log entries as "INFO: key=value" / "WARNING: key=value".
  std::vector<std::string> log;

  // kernel32 and its looked-up entries
  bool hasKernel32 = true;
  bool hasNativeSystemInfo = true;
  bool hasProductInfo = true;
  bool hasIsWow64Process = true;
  bool hasWow64Disable = true;
  bool hasWow64Revert = true;

  // Version: the basic query fills the OSVERSIONINFOA part, the extended one
  // everything; each can fail on its own.
  OSVERSIONINFOEXA version{};
  bool basicVersionFails = false;
  bool extendedVersionFails = false;
  std::vector<DWORD> versionSizes;  // size field of each GetVersionExA call
  DWORD productInfo = 0;            // what GetProductInfo reports
  std::vector<DWORD> productInfoArgs;
  SYSTEM_INFO systemInfo{};  // GetSystemInfo
  SYSTEM_INFO nativeInfo{};  // GetNativeSystemInfo
  BOOL wow64 = FALSE;
  bool isWow64ProcessFails = false;

  std::map<std::string, std::string> environment;
  std::string systemDirectory = "C:\\windows\\system32";
  UINT systemDirectoryResult = 0;  // 0: the length of systemDirectory
  bool systemDirectoryFails = false;
  bool memoryFails = false;
  ULONGLONG totalPhysical = 0;
  std::string computerName = "BUILDHOST";
  bool computerNameFails = false;

  // Files
  bool disableFails = false;
  bool revertFails = false;
  bool redirectionOff = false;               // current state of the switch
  std::vector<bool> redirectionOffAtAction;  // state at each copy/delete
  BOOL copyResult = TRUE;
  BOOL deleteResult = TRUE;
  BOOL moveResult = TRUE;
  std::vector<std::wstring> copies;  // "from|to|failIfExists"
  std::vector<std::wstring> deletes;
  std::vector<std::wstring> moves;  // "from|to|flags"
  // GetShortPathNameW(path, buffer, size); default: no such path.
  std::function<DWORD(LPCWSTR, LPWSTR, DWORD)> shortPathName;
  HANDLE createFileResult = INVALID_HANDLE_VALUE;
  DWORD createFileError = ERROR_FILE_NOT_FOUND;
  std::vector<std::wstring> createFileArgs;  // "path|access|share|disposition|attributes"
  std::vector<HANDLE> opened;                // handles and tokens handed out
  std::vector<HANDLE> closed;
  // Every handle handed out closed exactly once, none other.
  bool AllClosed() const;

  // Fonts and messages
  int fontRegistrations = 0;  // how often the file is registered
  bool removalAlwaysSucceeds = false;
  int addFontResult = 1;
  std::vector<std::string> posted;  // "hwnd|msg|wparam|lparam"
  bool broadcastStoresAnswer = true;
  DWORD_PTR broadcastAnswer = 0;
  std::vector<std::string> sent;  // "hwnd|msg|wparam|text|flags|timeout"

  // Restart
  bool openTokenFails = false;
  DWORD openTokenAccess = 0;
  std::string privilegeName;
  BOOL adjustResult = TRUE;
  DWORD adjustError = ERROR_SUCCESS;
  DWORD adjustedAttributes = 0;
  DWORD adjustedCount = 0;
  BOOL exitResult = TRUE;
  UINT exitFlags = 0;
  DWORD exitReason = 0;

  DWORD lastError = 0;

  static HANDLE Token() { return reinterpret_cast<HANDLE>(0x7010); }
  static HMODULE Kernel32() { return reinterpret_cast<HMODULE>(0x7000); }

 private:
  hostprobe::Platform table_{};
};

}  // namespace hostprobe_test
