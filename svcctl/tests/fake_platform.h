// A scripted service control manager with a virtual clock, for unit tests of
// the service control tools. Services are scripted by name: their display
// name, running dependents, the status they report, how that status moves
// after a stop or start request (as a function of virtual time), and the
// error each call should fail with. Sleep only advances the clock.
//
// It counts every handle and LocalAlloc block it hands out, so a test can
// check that each is released exactly once.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform.h"

namespace svcctl::testing {

SERVICE_STATUS_PROCESS Status(DWORD state, DWORD checkPoint = 0, DWORD waitHint = 0);

// Status by milliseconds since a stop or start request.
using Trajectory = std::function<SERVICE_STATUS_PROCESS(DWORD ms)>;

struct FakeService {
  std::wstring display;
  SERVICE_STATUS_PROCESS status = Status(SERVICE_RUNNING);  // until a request arrives
  std::vector<std::wstring> dependents;                     // key names; listed while not stopped
  Trajectory afterStop;                                     // default: stopped at once
  Trajectory afterStart;                                    // default: running at once
  DWORD openError = 0;
  DWORD enumError = 0;
  DWORD controlError = 0;
  DWORD startError = 0;
  DWORD describeError = 0;
  int queriesBeforeFailure = -1;  // >= 0: later queries fail with queryError
  DWORD queryError = ERROR_INVALID_HANDLE;
  DWORD openMs = 0;     // virtual time an open takes
  DWORD controlMs = 0;  // virtual time a stop request takes

  // Calls seen.
  int opens = 0, queries = 0, stops = 0, starts = 0;
  std::vector<DWORD> openAccess;
  std::vector<DWORD> enumBufferSizes;
  bool described = false;
  std::wstring description;

  // Internal: the trajectory being followed and since when.
  Trajectory following;
  DWORD followingSince = 0;
};

class FakePlatform final {
 public:
  // messages starts with the Windows texts of the codes the tools meet
  // most, as FormatMessageA gives them with a maximum line width: one line
  // with a trailing blank.
  explicit FakePlatform(DWORD clockStart = 5000000);

  FakeService& Add(const std::wstring& key, const std::wstring& display = L"");
  FakeService& Service(const std::wstring& key) { return services_.at(key); }
  // Makes key move along trajectory from now on, as if a request just arrived.
  void Follow(const std::wstring& key, Trajectory trajectory);
  DWORD Now() const { return now_; }

  DWORD managerError = 0;
  std::vector<DWORD> managerAccess;
  int failAllocation = -1;  // the n-th LocalAlloc (0-based) fails
  std::vector<SIZE_T> allocations;
  std::vector<DWORD> sleeps;
  std::map<DWORD, std::string> messages;  // FormatMessageA texts by code
  std::vector<DWORD> formatFlags, formatLanguages;
  std::vector<DWORD> formatWideFlags;
  // Called before each EnumDependentServicesW with its 0-based number, so a
  // test can add a dependent between the calls.
  std::function<void(int call)> beforeEnum;
  std::string out;  // standard output, wide text as UTF-8

  // Nothing left open or allocated, nothing released twice or unknown.
  ::testing::AssertionResult AllReleased() const;

  // The platform table the operations get: its entries answer from this
  // fake (the one most recently handed out).
  operator const Platform&();

  SC_HANDLE OpenSCManagerW(const wchar_t*, const wchar_t*, DWORD access);
  SC_HANDLE OpenServiceW(SC_HANDLE manager, const wchar_t* name, DWORD access);
  BOOL CloseServiceHandle(SC_HANDLE handle);
  BOOL GetServiceKeyNameW(SC_HANDLE manager, const wchar_t* displayName, wchar_t* keyName,
                          DWORD* chars);
  BOOL EnumDependentServicesW(SC_HANDLE service, DWORD stateFilter, ENUM_SERVICE_STATUSW* buffer,
                              DWORD bufferBytes, DWORD* bytesNeeded, DWORD* count);
  BOOL QueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE level, BYTE* buffer,
                            DWORD bufferBytes, DWORD* bytesNeeded);
  BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status);
  BOOL StartServiceW(SC_HANDLE service, DWORD argc, const wchar_t** argv);
  BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD level, void* info);
  DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                       char* buffer, DWORD size, va_list* args);
  // The same texts, widened; its calls are counted in formatWideFlags.
  DWORD FormatMessageW(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                       wchar_t* buffer, DWORD size, va_list* args);
  HLOCAL LocalAlloc(UINT flags, SIZE_T bytes);
  HLOCAL LocalFree(HLOCAL memory);
  DWORD GetLastError() { return lastError_; }
  DWORD GetTickCount() { return now_; }
  void Sleep(DWORD ms) {
    sleeps.push_back(ms);
    now_ += ms;
  }
  void WriteWide(std::wstring_view text);
  void WriteNarrow(std::string_view text) { out.append(text); }

 private:
  BOOL Fail(DWORD error) {
    lastError_ = error;
    return FALSE;
  }
  FakeService* Lookup(SC_HANDLE handle);
  SERVICE_STATUS_PROCESS Current(FakeService& service);

  DWORD now_;
  DWORD lastError_ = 0xdeadbeef;
  std::map<std::wstring, FakeService> services_;
  std::map<SC_HANDLE, std::wstring> open_;  // service handles; the manager maps to L""
  std::uintptr_t nextHandle_ = 0x1000;
  std::set<HLOCAL> live_;
  int badReleases_ = 0;
};

// Runs a program's main function (SvchaltMain, ...) with these arguments.
int RunMain(int (*main)(const Platform&, int, wchar_t**), const Platform& platform,
            std::vector<std::wstring> args);

}  // namespace svcctl::testing
