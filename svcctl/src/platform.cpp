#include "platform.h"

#include <cstdio>

#include "wt/output.h"

namespace svcctl {
namespace {

void WriteWideReal(std::wstring_view text) { wt::WriteWide(stdout, text); }
void WriteNarrowReal(std::string_view text) { wt::WriteNarrow(stdout, text); }

}  // namespace

const Platform& RealPlatform() {
  static const Platform real = {
      ::OpenSCManagerW,
      ::OpenServiceW,
      ::CloseServiceHandle,
      ::GetServiceKeyNameW,
      ::EnumDependentServicesW,
      ::QueryServiceStatusEx,
      ::ControlService,
      ::StartServiceW,
      ::ChangeServiceConfig2W,
      ::FormatMessageA,
      ::FormatMessageW,
      ::LocalAlloc,
      ::LocalFree,
      ::GetLastError,
      ::GetTickCount,
      ::Sleep,
      WriteWideReal,
      WriteNarrowReal,
  };
  return real;
}

}  // namespace svcctl
