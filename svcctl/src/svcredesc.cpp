#include "svcredesc.h"

#include <string>

#include "exit_codes.h"
#include "wt/owned.h"

namespace svcctl {

namespace {

// The code a failed call left, never 0: a failure must not exit as success.
DWORD FailureCode(const Platform& platform) {
  const DWORD error = platform.GetLastError();
  return error != 0 ? error : ERROR_GEN_FAILURE;
}

}  // namespace

DWORD ChangeDescription(const Platform& platform, const wchar_t* name, const wchar_t* description) {
  wt::Owned manager(platform.CloseServiceHandle,
                    platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
  if (!manager) return FailureCode(platform);
  wt::Owned service(platform.CloseServiceHandle,
                    platform.OpenServiceW(manager.get(), name, SERVICE_CHANGE_CONFIG));
  if (!service) return FailureCode(platform);

  // The structure's member is not const; the text is passed on exactly as
  // given, and an empty one makes the manager remove the description.
  std::wstring text(description);
  SERVICE_DESCRIPTIONW info = {&text[0]};
  if (!platform.ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &info)) {
    return FailureCode(platform);
  }
  return kRedescChanged;
}

int SvcredescMain(const Platform& platform, int argc, wchar_t** argv) {
  if (argc != 3) {
    platform.WriteWide(L"USAGE:\n  svcredesc <servicename> <description>\n");
    return kRedescUsage;
  }
  return static_cast<int>(ChangeDescription(platform, argv[1], argv[2]));
}

}  // namespace svcctl
