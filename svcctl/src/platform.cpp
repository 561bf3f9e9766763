#include "platform.h"

#include <cstdio>

#include "wt/output.h"

namespace svcctl {
namespace {

class Win32Platform final : public Platform {
 public:
  SC_HANDLE OpenSCManagerW(const wchar_t* machine, const wchar_t* database, DWORD access) override {
    return ::OpenSCManagerW(machine, database, access);
  }
  SC_HANDLE OpenServiceW(SC_HANDLE manager, const wchar_t* name, DWORD access) override {
    return ::OpenServiceW(manager, name, access);
  }
  BOOL CloseServiceHandle(SC_HANDLE handle) override { return ::CloseServiceHandle(handle); }
  BOOL GetServiceKeyNameW(SC_HANDLE manager, const wchar_t* displayName, wchar_t* keyName,
                          DWORD* chars) override {
    return ::GetServiceKeyNameW(manager, displayName, keyName, chars);
  }
  BOOL EnumDependentServicesW(SC_HANDLE service, DWORD stateFilter, ENUM_SERVICE_STATUSW* buffer,
                              DWORD bufferBytes, DWORD* bytesNeeded, DWORD* count) override {
    return ::EnumDependentServicesW(service, stateFilter, buffer, bufferBytes, bytesNeeded, count);
  }
  BOOL QueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE level, BYTE* buffer,
                            DWORD bufferBytes, DWORD* bytesNeeded) override {
    return ::QueryServiceStatusEx(service, level, buffer, bufferBytes, bytesNeeded);
  }
  BOOL ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) override {
    return ::ControlService(service, control, status);
  }
  BOOL StartServiceW(SC_HANDLE service, DWORD argc, const wchar_t** argv) override {
    return ::StartServiceW(service, argc, argv);
  }
  BOOL ChangeServiceConfig2W(SC_HANDLE service, DWORD level, void* info) override {
    return ::ChangeServiceConfig2W(service, level, info);
  }
  DWORD FormatMessageA(DWORD flags, const void* source, DWORD messageId, DWORD languageId,
                       char* buffer, DWORD size, va_list* args) override {
    return ::FormatMessageA(flags, source, messageId, languageId, buffer, size, args);
  }
  HLOCAL LocalAlloc(UINT flags, SIZE_T bytes) override { return ::LocalAlloc(flags, bytes); }
  HLOCAL LocalFree(HLOCAL memory) override { return ::LocalFree(memory); }
  DWORD GetLastError() override { return ::GetLastError(); }
  DWORD GetTickCount() override { return ::GetTickCount(); }
  void Sleep(DWORD milliseconds) override { ::Sleep(milliseconds); }
  void WriteWide(std::wstring_view text) override { wt::WriteWide(stdout, text); }
  void WriteNarrow(std::string_view text) override { wt::WriteNarrow(stdout, text); }
};

}  // namespace

Platform& RealPlatform() {
  static Win32Platform platform;
  return platform;
}

}  // namespace svcctl
