#include "messages.h"
#include "operations.h"
#include "report.h"
#include "wt/owned.h"

namespace svcdefine {
namespace {

const wchar_t kServicesKey[] = L"SYSTEM\\CurrentControlSet\\Services\\";

const wchar_t* OrNull(const std::optional<std::wstring>& value) {
  return value ? value->c_str() : nullptr;
}

int RecordWorkDir(const Platform& platform, const std::wstring& serviceName,
                  const std::wstring& workDir) {
  const std::wstring path = kServicesKey + serviceName;
  wt::Owned key(platform.RegCloseKey, HKEY{});
  LSTATUS rc = platform.RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_WRITE, key.put());
  if (rc != ERROR_SUCCESS) {
    PrintErrorReport(platform, kRegOpenKeyFailed, static_cast<DWORD>(rc));
    return kRegOpenKeyFailed;
  }
  // REG_SZ data counts its terminating zero. The INI reader bounds the text;
  // on x86 size_t and DWORD have one width, so nothing widens.
  // NOLINTNEXTLINE(bugprone-misplaced-widening-cast)
  const DWORD bytes = static_cast<DWORD>((workDir.size() + 1) * sizeof(wchar_t));
  rc = platform.RegSetValueExW(key.get(), L"workdir", 0, REG_SZ,
                               reinterpret_cast<const BYTE*>(workDir.c_str()), bytes);
  if (rc != ERROR_SUCCESS) {
    PrintErrorReport(platform, kRegSetValueFailed, static_cast<DWORD>(rc));
    return kRegSetValueFailed;
  }
  return 0;
}

}  // namespace

int CreateDefinedService(const Platform& platform, const ServiceDefinition& d) {
  {
    wt::Owned scm(platform.CloseServiceHandle,
                  platform.OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!scm) {
      const DWORD error = GetLastError();
      PrintErrorReport(platform, kOpenScManagerFailed, error);
      return kOpenScManagerFailed;
    }
    // The new service's handle carries exactly the rights the Access keys
    // asked for; the description below needs SERVICE_CHANGE_CONFIG among them.
    wt::Owned service(
        platform.CloseServiceHandle,
        platform.CreateServiceW(scm.get(), d.ServiceName.c_str(), d.DisplayName.c_str(),
                                d.DesiredAccess, d.ServiceType, d.StartType, d.ErrorControl,
                                d.BinaryPathName.c_str(), nullptr, nullptr, OrNull(d.Dependencies),
                                OrNull(d.ServiceStartName), nullptr));
    if (!service) {
      const DWORD error = GetLastError();
      scm.reset();
      PrintErrorReport(platform, kCreateServiceFailed, error);
      return kCreateServiceFailed;
    }
    if (d.Description) {
      SERVICE_DESCRIPTIONW description = {const_cast<wchar_t*>(d.Description->c_str())};
      if (!platform.ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION,
                                          &description)) {
        const DWORD error = GetLastError();
        service.reset();
        scm.reset();
        PrintErrorReport(platform, kChangeServiceConfigFailed, error);
        return kChangeServiceConfigFailed;
      }
    }
  }  // both handles closed before the registry is touched
  if (!d.WorkDir) return 0;
  return RecordWorkDir(platform, d.ServiceName, *d.WorkDir);
}

}  // namespace svcdefine
