// The platform calls of the service control tools, as one small interface.
//
// The programs pass RealPlatform(); unit tests pass a scripted service
// manager with a virtual clock, so wait loops of a minute run in
// microseconds and the paths Wine cannot produce (running dependents, a stop
// refused with 1051, a stalled checkpoint) are exercised. Every entry passes
// straight through to the Win32 function of the same name; the output
// entries write to standard output.
#pragma once

#include <windows.h>

#include <string_view>

namespace svcctl {

class Platform {
 public:
  virtual ~Platform() = default;

  virtual SC_HANDLE OpenSCManagerW(const wchar_t* machine, const wchar_t* database,
                                   DWORD access) = 0;
  virtual SC_HANDLE OpenServiceW(SC_HANDLE manager, const wchar_t* name, DWORD access) = 0;
  virtual BOOL CloseServiceHandle(SC_HANDLE handle) = 0;
  virtual BOOL GetServiceKeyNameW(SC_HANDLE manager, const wchar_t* displayName, wchar_t* keyName,
                                  DWORD* chars) = 0;
  virtual BOOL EnumDependentServicesW(SC_HANDLE service, DWORD stateFilter,
                                      ENUM_SERVICE_STATUSW* buffer, DWORD bufferBytes,
                                      DWORD* bytesNeeded, DWORD* count) = 0;
  virtual BOOL QueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE level, BYTE* buffer,
                                    DWORD bufferBytes, DWORD* bytesNeeded) = 0;
  virtual BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) = 0;
  virtual BOOL StartServiceW(SC_HANDLE service, DWORD argc, const wchar_t** argv) = 0;
  virtual BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD level, void* info) = 0;
  virtual DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                               char* buffer, DWORD size, va_list* args) = 0;
  virtual HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) = 0;
  virtual HLOCAL LocalFree(HLOCAL memory) = 0;
  virtual DWORD GetLastError() = 0;
  virtual DWORD GetTickCount() = 0;
  virtual void Sleep(DWORD milliseconds) = 0;

  // Standard output. Wide text is converted for the stream's destination;
  // narrow text (the system's ANSI message texts) goes out unchanged.
  virtual void WriteWide(std::wstring_view text) = 0;
  virtual void WriteNarrow(std::string_view text) = 0;
};

// The real Win32 functions and the process's standard output.
Platform& RealPlatform();

}  // namespace svcctl
