// A scripted svcdefine platform for unit tests: the service manager, the
// registry, the file checks and the profile reader answer as the test says,
// Sleep advances a virtual clock, and every call is logged. Handles are
// counted per release function so a leak or a double close fails the test.
#pragma once

#include <windows.h>

#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform.h"

namespace svcdefine::testing {

struct CreateCall {
  std::wstring serviceName, displayName, binaryPath;
  DWORD desiredAccess = 0, serviceType = 0, startType = 0, errorControl = 0;
  bool loadOrderGroupNull = false, tagIdNull = false, passwordNull = false;
  std::optional<std::vector<wchar_t>> dependencies;  // the block up to its double zero
  std::optional<std::wstring> serviceStartName;
};

class FakePlatform {
 public:
  FakePlatform();
  ~FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  const Platform& platform() const { return table_; }

  // --- script ---
  std::wstring currentDirectory = L"C:\\work\\";
  bool fullPathFails = false;              // GetFullPathNameW fails...
  DWORD fullPathError = 0;                 // ...setting this code (0: none)
  std::set<std::wstring> files;            // full paths that exist as files
  std::set<std::wstring> directories;      // full paths that exist as folders
  std::map<std::wstring, std::wstring> ini;  // key (any case) -> value of [Service]
  DWORD openScmError = 0;
  DWORD createError = 0;
  DWORD changeConfigError = 0;
  DWORD openServiceError = 0;
  // QueryServiceStatus answers in turn: a state/wait hint, or an error code.
  struct QueryAnswer {
    DWORD state = SERVICE_STOPPED;
    DWORD waitHint = 0;
    DWORD error = 0;
  };
  std::deque<QueryAnswer> queries;
  DWORD controlError = 0;
  DWORD deleteError = 0;
  LSTATUS regOpenResult = ERROR_SUCCESS;
  LSTATUS regSetResult = ERROR_SUCCESS;

  // --- record ---
  std::vector<std::wstring> calls;  // names of platform calls, "Sleep 1000" with its time
  std::wstring out;
  std::optional<CreateCall> created;
  std::optional<std::wstring> description;
  DWORD openScmAccess = 0, openServiceAccess = 0, controlCode = 0;
  std::wstring openedServiceName;
  std::wstring regPath;
  REGSAM regAccess = 0;
  HKEY regRoot = nullptr;
  std::wstring valueName;
  DWORD valueType = 0;
  std::vector<BYTE> valueData;
  std::set<std::wstring> profilePaths;  // files the profile reader was given
  std::wstring foundPath;               // path given to FindFirstFileW
  DWORD clockMs = 0;                    // virtual time spent in Sleep

  // Every handle opened has been closed exactly once.
  bool AllReleased() const;
  int scOpened = 0, scClosed = 0, keysOpened = 0, keysClosed = 0, findsOpened = 0, findsClosed = 0;
  bool doubleClose = false;

 private:
  Platform table_;
  std::set<SC_HANDLE> liveSc_;
  std::set<HKEY> liveKeys_;
  std::set<HANDLE> liveFinds_;
  uintptr_t nextHandle_ = 0x1000;
  friend struct Thunks;
};

}  // namespace svcdefine::testing
