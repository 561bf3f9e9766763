#include "fake_platform.h"

#include <cwchar>
#include <cwctype>
#include <stdexcept>

namespace svcdefine::testing {

namespace {
FakePlatform* g_fake = nullptr;

std::wstring Lower(std::wstring s) {
  for (auto& c : s) c = static_cast<wchar_t>(std::towlower(c));
  return s;
}
}  // namespace

struct Thunks {
  static FakePlatform& F() { return *g_fake; }

  template <typename H>
  static H NewHandle(std::set<H>& live, int& opened) {
    H h = reinterpret_cast<H>(F().nextHandle_ += 8);
    live.insert(h);
    ++opened;
    return h;
  }
  template <typename H>
  static void Release(std::set<H>& live, int& closed, H h) {
    if (live.erase(h) == 0) F().doubleClose = true;
    ++closed;
  }

  static DWORD WINAPI GetFullPathNameW(LPCWSTR path, DWORD size, LPWSTR buffer, LPWSTR* filePart) {
    F().calls.push_back(L"GetFullPathNameW");
    if (filePart) *filePart = nullptr;
    if (F().fullPathFails) {
      if (F().fullPathError) SetLastError(F().fullPathError);
      return 0;
    }
    std::wstring p = path;
    const bool absolute = p.size() >= 2 && (p[1] == L':' || (p[0] == L'\\' && p[1] == L'\\'));
    const std::wstring full = absolute ? p : F().currentDirectory + p;
    if (full.size() + 1 > size) return static_cast<DWORD>(full.size() + 1);
    std::wmemcpy(buffer, full.c_str(), full.size() + 1);
    return static_cast<DWORD>(full.size());
  }

  static HANDLE WINAPI FindFirstFileW(LPCWSTR path, LPWIN32_FIND_DATAW data) {
    F().calls.push_back(L"FindFirstFileW");
    F().foundPath = path;
    const bool file = F().files.count(path) != 0;
    const bool dir = F().directories.count(path) != 0;
    if (!file && !dir) {
      SetLastError(ERROR_FILE_NOT_FOUND);
      return INVALID_HANDLE_VALUE;
    }
    *data = {};
    data->dwFileAttributes = dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
    return NewHandle(F().liveFinds_, F().findsOpened);
  }

  static BOOL WINAPI FindClose(HANDLE h) {
    F().calls.push_back(L"FindClose");
    Release(F().liveFinds_, F().findsClosed, h);
    return TRUE;
  }

  static DWORD WINAPI GetPrivateProfileStringW(LPCWSTR section, LPCWSTR key, LPCWSTR def,
                                               LPWSTR buffer, DWORD size, LPCWSTR file) {
    F().profilePaths.insert(file);
    std::wstring value = def ? def : L"";
    if (Lower(section) == L"service") {
      for (const auto& [k, v] : F().ini) {
        if (Lower(k) == Lower(key)) value = v;
      }
    }
    // The platform's contract: cut to size - 1 characters and terminated.
    const size_t n = value.size() < size - 1 ? value.size() : size - 1;
    std::wmemcpy(buffer, value.c_str(), n);
    buffer[n] = L'\0';
    return static_cast<DWORD>(n);
  }

  static UINT WINAPI GetPrivateProfileIntW(LPCWSTR section, LPCWSTR key, INT def, LPCWSTR file) {
    wchar_t buffer[64];
    if (GetPrivateProfileStringW(section, key, L"", buffer, 64, file) == 0) {
      return static_cast<UINT>(def);
    }
    return static_cast<UINT>(std::wcstol(buffer, nullptr, 10));
  }

  static SC_HANDLE WINAPI OpenSCManagerW(LPCWSTR machine, LPCWSTR database, DWORD access) {
    F().calls.push_back(L"OpenSCManagerW");
    if (machine || database) throw std::logic_error("local default database expected");
    F().openScmAccess = access;
    if (F().openScmError) {
      SetLastError(F().openScmError);
      return nullptr;
    }
    return NewHandle(F().liveSc_, F().scOpened);
  }

  static SC_HANDLE WINAPI CreateServiceW(SC_HANDLE scm, LPCWSTR name, LPCWSTR display,
                                         DWORD access, DWORD type, DWORD start, DWORD error,
                                         LPCWSTR binary, LPCWSTR group, LPDWORD tag,
                                         LPCWSTR dependencies, LPCWSTR startName,
                                         LPCWSTR password) {
    F().calls.push_back(L"CreateServiceW");
    if (!F().liveSc_.count(scm)) throw std::logic_error("CreateServiceW on a closed manager");
    CreateCall c;
    c.serviceName = name;
    c.displayName = display;
    c.binaryPath = binary;
    c.desiredAccess = access;
    c.serviceType = type;
    c.startType = start;
    c.errorControl = error;
    c.loadOrderGroupNull = group == nullptr;
    c.tagIdNull = tag == nullptr;
    c.passwordNull = password == nullptr;
    if (dependencies) {
      std::vector<wchar_t> block;
      const wchar_t* p = dependencies;
      for (; p[0] || p[1]; ++p) block.push_back(*p);
      block.push_back(p[0]);
      block.push_back(p[1]);
      c.dependencies = block;
    }
    if (startName) c.serviceStartName = std::wstring(startName);
    F().created = c;
    if (F().createError) {
      SetLastError(F().createError);
      return nullptr;
    }
    return NewHandle(F().liveSc_, F().scOpened);
  }

  static BOOL WINAPI ChangeServiceConfig2W(SC_HANDLE service, DWORD level, LPVOID info) {
    F().calls.push_back(L"ChangeServiceConfig2W");
    if (!F().liveSc_.count(service) || level != SERVICE_CONFIG_DESCRIPTION) {
      throw std::logic_error("description expected on an open service");
    }
    F().description = static_cast<SERVICE_DESCRIPTIONW*>(info)->lpDescription;
    if (F().changeConfigError) {
      SetLastError(F().changeConfigError);
      return FALSE;
    }
    return TRUE;
  }

  static SC_HANDLE WINAPI OpenServiceW(SC_HANDLE scm, LPCWSTR name, DWORD access) {
    F().calls.push_back(L"OpenServiceW");
    if (!F().liveSc_.count(scm)) throw std::logic_error("OpenServiceW on a closed manager");
    F().openedServiceName = name;
    F().openServiceAccess = access;
    if (F().openServiceError) {
      SetLastError(F().openServiceError);
      return nullptr;
    }
    return NewHandle(F().liveSc_, F().scOpened);
  }

  static BOOL WINAPI QueryServiceStatus(SC_HANDLE service, LPSERVICE_STATUS status) {
    F().calls.push_back(L"QueryServiceStatus");
    if (!F().liveSc_.count(service)) throw std::logic_error("query on a closed handle");
    if (F().queries.empty()) throw std::logic_error("unscripted QueryServiceStatus");
    const auto a = F().queries.front();
    F().queries.pop_front();
    if (a.error) {
      SetLastError(a.error);
      return FALSE;
    }
    *status = {};
    status->dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status->dwCurrentState = a.state;
    status->dwWaitHint = a.waitHint;
    return TRUE;
  }

  static BOOL WINAPI ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    F().calls.push_back(L"ControlService");
    if (!F().liveSc_.count(service)) throw std::logic_error("control on a closed handle");
    F().controlCode = control;
    if (F().controlError) {
      SetLastError(F().controlError);
      return FALSE;
    }
    *status = {};
    status->dwCurrentState = SERVICE_STOP_PENDING;
    return TRUE;
  }

  static BOOL WINAPI DeleteService(SC_HANDLE service) {
    F().calls.push_back(L"DeleteService");
    if (!F().liveSc_.count(service)) throw std::logic_error("delete on a closed handle");
    if (F().deleteError) {
      SetLastError(F().deleteError);
      return FALSE;
    }
    return TRUE;
  }

  static BOOL WINAPI CloseServiceHandle(SC_HANDLE h) {
    F().calls.push_back(L"CloseServiceHandle");
    Release(F().liveSc_, F().scClosed, h);
    return TRUE;
  }

  static LSTATUS WINAPI RegOpenKeyExW(HKEY root, LPCWSTR path, DWORD options, REGSAM access,
                                      PHKEY key) {
    F().calls.push_back(L"RegOpenKeyExW");
    if (options != 0) throw std::logic_error("options 0 expected");
    F().regRoot = root;
    F().regPath = path;
    F().regAccess = access;
    if (F().regOpenResult != ERROR_SUCCESS) return F().regOpenResult;
    *key = NewHandle(F().liveKeys_, F().keysOpened);
    return ERROR_SUCCESS;
  }

  static LSTATUS WINAPI RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type,
                                       const BYTE* data, DWORD bytes) {
    F().calls.push_back(L"RegSetValueExW");
    if (!F().liveKeys_.count(key) || reserved) throw std::logic_error("bad RegSetValueExW");
    F().valueName = name;
    F().valueType = type;
    F().valueData.assign(data, data + bytes);
    return F().regSetResult;
  }

  static LSTATUS WINAPI RegCloseKey(HKEY key) {
    F().calls.push_back(L"RegCloseKey");
    Release(F().liveKeys_, F().keysClosed, key);
    return ERROR_SUCCESS;
  }

  static VOID WINAPI Sleep(DWORD ms) {
    F().calls.push_back(L"Sleep " + std::to_wstring(ms));
    F().clockMs += ms;
  }

  static void Write(std::wstring_view text) { F().out.append(text); }
};

FakePlatform::FakePlatform() {
  if (g_fake) throw std::logic_error("one FakePlatform at a time");
  g_fake = this;
  table_ = Platform{
      Thunks::GetFullPathNameW, Thunks::FindFirstFileW,     Thunks::FindClose,
      Thunks::GetPrivateProfileStringW, Thunks::GetPrivateProfileIntW,
      Thunks::OpenSCManagerW,   Thunks::CreateServiceW,     Thunks::ChangeServiceConfig2W,
      Thunks::OpenServiceW,     Thunks::QueryServiceStatus, Thunks::ControlService,
      Thunks::DeleteService,    Thunks::CloseServiceHandle, Thunks::RegOpenKeyExW,
      Thunks::RegSetValueExW,   Thunks::RegCloseKey,        Thunks::Sleep,
      Thunks::Write,
  };
}

FakePlatform::~FakePlatform() { g_fake = nullptr; }

bool FakePlatform::AllReleased() const {
  return !doubleClose && liveSc_.empty() && liveKeys_.empty() && liveFinds_.empty() &&
         scOpened == scClosed && keysOpened == keysClosed && findsOpened == findsClosed;
}

}  // namespace svcdefine::testing
