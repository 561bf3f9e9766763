// The platform calls of the service control tools, as one table of plain
// function pointers with the system functions' own types.
//
// The programs pass RealPlatform(), whose entries are the Win32 functions
// themselves; unit tests pass a scripted service manager with a virtual
// clock, so wait loops of a minute run in microseconds and the paths Wine
// cannot produce (running dependents, a stop refused with 1051, a stalled
// checkpoint) are exercised. The output entries write to standard output.
#pragma once

#include <windows.h>

#include <string_view>

namespace svcctl {

struct Platform {
  decltype(&::OpenSCManagerW) OpenSCManagerW;
  decltype(&::OpenServiceW) OpenServiceW;
  decltype(&::CloseServiceHandle) CloseServiceHandle;
  decltype(&::GetServiceKeyNameW) GetServiceKeyNameW;
  decltype(&::EnumDependentServicesW) EnumDependentServicesW;
  decltype(&::QueryServiceStatusEx) QueryServiceStatusEx;
  decltype(&::ControlService) ControlService;
  decltype(&::StartServiceW) StartServiceW;
  decltype(&::ChangeServiceConfig2W) ChangeServiceConfig2W;
  decltype(&::FormatMessageA) FormatMessageA;
  decltype(&::FormatMessageW) FormatMessageW;
  decltype(&::LocalAlloc) LocalAlloc;
  decltype(&::LocalFree) LocalFree;
  decltype(&::GetLastError) GetLastError;
  decltype(&::GetTickCount) GetTickCount;
  decltype(&::Sleep) Sleep;

  // Standard output. Wide text is converted for the stream's destination;
  // narrow text (the system's ANSI message texts) goes out unchanged.
  void (*WriteWide)(std::wstring_view text);
  void (*WriteNarrow)(std::string_view text);
};

// The real Win32 functions and the process's standard output.
const Platform& RealPlatform();

}  // namespace svcctl
