#include "platform.h"

#include <cstdio>

#include "wt/output.h"

namespace svcdefine {
namespace {

void WriteStdout(std::wstring_view text) { wt::WriteWide(stdout, text); }

const Platform kReal = {
    ::GetFullPathNameW, ::FindFirstFileW,     ::FindClose,       ::GetPrivateProfileStringW,
    ::GetPrivateProfileIntW, ::OpenSCManagerW, ::CreateServiceW, ::ChangeServiceConfig2W,
    ::OpenServiceW,     ::QueryServiceStatus, ::ControlService,  ::DeleteService,
    ::CloseServiceHandle, ::RegOpenKeyExW,    ::RegSetValueExW,  ::RegCloseKey,
    ::Sleep,            WriteStdout,
};

}  // namespace

const Platform& RealPlatform() { return kReal; }

}  // namespace svcdefine
