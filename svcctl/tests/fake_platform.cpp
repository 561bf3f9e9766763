#include "fake_platform.h"

#include <gtest/gtest.h>

#include <cstring>

#include "wttest/platform.h"

namespace svcctl::testing {

SERVICE_STATUS_PROCESS Status(DWORD state, DWORD checkPoint, DWORD waitHint) {
  SERVICE_STATUS_PROCESS s = {};
  s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  s.dwCurrentState = state;
  s.dwCheckPoint = checkPoint;
  s.dwWaitHint = waitHint;
  return s;
}

FakePlatform::FakePlatform(DWORD clockStart) : now_(clockStart) {
  messages[ERROR_ACCESS_DENIED] = "Access is denied. ";
  messages[ERROR_INVALID_HANDLE] = "The handle is invalid. ";
  messages[ERROR_INVALID_NAME] =
      "The filename, directory name, or volume label syntax is incorrect. ";
  messages[ERROR_DEPENDENT_SERVICES_RUNNING] =
      "A stop control has been sent to a service that other running services are dependent "
      "on. ";
  messages[ERROR_SERVICE_DISABLED] =
      "The service cannot be started, either because it is disabled or because it has no "
      "enabled devices associated with it. ";
  messages[ERROR_SERVICE_DOES_NOT_EXIST] =
      "The specified service does not exist as an installed service. ";
}

int RunMain(int (*main)(const Platform&, int, wchar_t**), const Platform& platform,
            std::vector<std::wstring> args) {
  std::vector<wchar_t*> argv;
  for (auto& a : args) argv.push_back(&a[0]);
  return main(platform, static_cast<int>(argv.size()), argv.data());
}

FakeService& FakePlatform::Add(const std::wstring& key, const std::wstring& display) {
  FakeService& s = services_[key];
  // Distinct from the key by default: a display name equal to the key name
  // is found by GetServiceKeyNameW, which svchalt then traces.
  s.display = display.empty() ? L"The " + key + L" service" : display;
  return s;
}

void FakePlatform::Follow(const std::wstring& key, Trajectory trajectory) {
  FakeService& s = services_.at(key);
  s.following = std::move(trajectory);
  s.followingSince = now_;
}

SERVICE_STATUS_PROCESS FakePlatform::Current(FakeService& s) {
  return s.following ? s.following(now_ - s.followingSince) : s.status;
}

FakeService* FakePlatform::Lookup(SC_HANDLE handle) {
  auto it = open_.find(handle);
  if (it == open_.end() || it->second.empty()) return nullptr;
  return &services_.at(it->second);
}

namespace {

FakePlatform* current = nullptr;

// Entries with the system functions' types, answering from the current fake.
struct Thunks {
  static SC_HANDLE WINAPI OpenSCManagerW(LPCWSTR machine, LPCWSTR database, DWORD access) {
    return current->OpenSCManagerW(machine, database, access);
  }
  static SC_HANDLE WINAPI OpenServiceW(SC_HANDLE manager, LPCWSTR name, DWORD access) {
    return current->OpenServiceW(manager, name, access);
  }
  static BOOL WINAPI CloseServiceHandle(SC_HANDLE handle) {
    return current->CloseServiceHandle(handle);
  }
  static BOOL WINAPI GetServiceKeyNameW(SC_HANDLE manager, LPCWSTR display, LPWSTR key,
                                        LPDWORD chars) {
    return current->GetServiceKeyNameW(manager, display, key, chars);
  }
  static BOOL WINAPI EnumDependentServicesW(SC_HANDLE service, DWORD filter,
                                            LPENUM_SERVICE_STATUSW buffer, DWORD bytes,
                                            LPDWORD needed, LPDWORD count) {
    return current->EnumDependentServicesW(service, filter, buffer, bytes, needed, count);
  }
  static BOOL WINAPI QueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE level, LPBYTE buffer,
                                          DWORD bytes, LPDWORD needed) {
    return current->QueryServiceStatusEx(service, level, buffer, bytes, needed);
  }
  static BOOL WINAPI ControlService(SC_HANDLE service, DWORD control, LPSERVICE_STATUS status) {
    return current->ControlService(service, control, status);
  }
  static BOOL WINAPI StartServiceW(SC_HANDLE service, DWORD argc, LPCWSTR* argv) {
    return current->StartServiceW(service, argc, argv);
  }
  static BOOL WINAPI ChangeServiceConfig2W(SC_HANDLE service, DWORD level, LPVOID info) {
    return current->ChangeServiceConfig2W(service, level, info);
  }
  static DWORD WINAPI FormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD language,
                                     LPSTR buffer, DWORD size, va_list* args) {
    return current->FormatMessageA(flags, source, id, language, buffer, size, args);
  }
  static DWORD WINAPI FormatMessageW(DWORD flags, LPCVOID source, DWORD id, DWORD language,
                                     LPWSTR buffer, DWORD size, va_list* args) {
    return current->FormatMessageW(flags, source, id, language, buffer, size, args);
  }
  static HLOCAL WINAPI LocalAlloc(UINT flags, SIZE_T bytes) {
    return current->LocalAlloc(flags, bytes);
  }
  static HLOCAL WINAPI LocalFree(HLOCAL memory) { return current->LocalFree(memory); }
  static DWORD WINAPI GetLastError() { return current->GetLastError(); }
  static DWORD WINAPI GetTickCount() { return current->GetTickCount(); }
  static VOID WINAPI Sleep(DWORD ms) { current->Sleep(ms); }
  static void WriteWide(std::wstring_view text) { current->WriteWide(text); }
  static void WriteNarrow(std::string_view text) { current->WriteNarrow(text); }
};

}  // namespace

FakePlatform::operator const Platform&() {
  static const Platform table = {
      Thunks::OpenSCManagerW,
      Thunks::OpenServiceW,
      Thunks::CloseServiceHandle,
      Thunks::GetServiceKeyNameW,
      Thunks::EnumDependentServicesW,
      Thunks::QueryServiceStatusEx,
      Thunks::ControlService,
      Thunks::StartServiceW,
      Thunks::ChangeServiceConfig2W,
      Thunks::FormatMessageA,
      Thunks::FormatMessageW,
      Thunks::LocalAlloc,
      Thunks::LocalFree,
      Thunks::GetLastError,
      Thunks::GetTickCount,
      Thunks::Sleep,
      Thunks::WriteWide,
      Thunks::WriteNarrow,
  };
  current = this;
  return table;
}

::testing::AssertionResult FakePlatform::AllReleased() const {
  if (!open_.empty()) return ::testing::AssertionFailure() << open_.size() << " handle(s) open";
  if (!live_.empty()) return ::testing::AssertionFailure() << live_.size() << " block(s) allocated";
  if (badReleases_) return ::testing::AssertionFailure() << badReleases_ << " bad release(s)";
  return ::testing::AssertionSuccess();
}

SC_HANDLE FakePlatform::OpenSCManagerW(const wchar_t*, const wchar_t*, DWORD access) {
  managerAccess.push_back(access);
  if (managerError) {
    Fail(managerError);
    return nullptr;
  }
  auto h = reinterpret_cast<SC_HANDLE>(nextHandle_++);
  open_[h] = L"";
  return h;
}

SC_HANDLE FakePlatform::OpenServiceW(SC_HANDLE manager, const wchar_t* name, DWORD access) {
  if (open_.count(manager) == 0 || !open_[manager].empty()) {
    Fail(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  // What Windows rejects as a name: empty, or containing a path separator.
  if (!*name || std::wcspbrk(name, L"\\/")) {
    Fail(ERROR_INVALID_NAME);
    return nullptr;
  }
  auto it = services_.find(name);
  if (it == services_.end()) {
    Fail(ERROR_SERVICE_DOES_NOT_EXIST);
    return nullptr;
  }
  FakeService& s = it->second;
  ++s.opens;
  s.openAccess.push_back(access);
  now_ += s.openMs;
  if (s.openError) {
    Fail(s.openError);
    return nullptr;
  }
  auto h = reinterpret_cast<SC_HANDLE>(nextHandle_++);
  open_[h] = name;
  return h;
}

BOOL FakePlatform::CloseServiceHandle(SC_HANDLE handle) {
  if (open_.erase(handle) == 0) {
    ++badReleases_;
    return Fail(ERROR_INVALID_HANDLE);
  }
  return TRUE;
}

BOOL FakePlatform::GetServiceKeyNameW(SC_HANDLE manager, const wchar_t* displayName,
                                      wchar_t* keyName, DWORD* chars) {
  if (open_.count(manager) == 0) return Fail(ERROR_INVALID_HANDLE);
  for (const auto& [key, s] : services_) {
    if (_wcsicmp(s.display.c_str(), displayName) != 0) continue;
    if (*chars <= key.size()) {
      *chars = static_cast<DWORD>(key.size());
      return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::wmemcpy(keyName, key.c_str(), key.size() + 1);
    *chars = static_cast<DWORD>(key.size());
    return TRUE;
  }
  return Fail(ERROR_SERVICE_DOES_NOT_EXIST);
}

BOOL FakePlatform::EnumDependentServicesW(SC_HANDLE service, DWORD stateFilter,
                                          ENUM_SERVICE_STATUSW* buffer, DWORD bufferBytes,
                                          DWORD* bytesNeeded, DWORD* count) {
  FakeService* s = Lookup(service);
  if (!s) return Fail(ERROR_INVALID_HANDLE);
  if (stateFilter != SERVICE_ACTIVE) return Fail(ERROR_INVALID_PARAMETER);
  if (beforeEnum) beforeEnum(static_cast<int>(s->enumBufferSizes.size()));
  s->enumBufferSizes.push_back(bufferBytes);
  if (s->enumError) return Fail(s->enumError);

  std::vector<std::wstring> listed;
  DWORD needed = 0;
  for (const auto& key : s->dependents) {
    FakeService& d = services_.at(key);
    if (Current(d).dwCurrentState == SERVICE_STOPPED) continue;
    listed.push_back(key);
    needed += sizeof(ENUM_SERVICE_STATUSW) +
              static_cast<DWORD>((key.size() + 1 + d.display.size() + 1) * sizeof(wchar_t));
  }
  *count = 0;
  if (bufferBytes < needed) {
    *bytesNeeded = needed;
    return Fail(ERROR_MORE_DATA);
  }
  // Entries first, their strings after them, as the manager lays them out.
  auto* text = reinterpret_cast<wchar_t*>(buffer + listed.size());
  for (size_t i = 0; i < listed.size(); ++i) {
    FakeService& d = services_.at(listed[i]);
    auto put = [&text](const std::wstring& v) {
      wchar_t* at = text;
      std::wmemcpy(at, v.c_str(), v.size() + 1);
      text += v.size() + 1;
      return at;
    };
    buffer[i].lpServiceName = put(listed[i]);
    buffer[i].lpDisplayName = put(d.display);
    const SERVICE_STATUS_PROCESS st = Current(d);
    std::memcpy(&buffer[i].ServiceStatus, &st, sizeof(SERVICE_STATUS));
  }
  *count = static_cast<DWORD>(listed.size());
  *bytesNeeded = 0;
  return TRUE;
}

BOOL FakePlatform::QueryServiceStatusEx(SC_HANDLE service, SC_STATUS_TYPE level, BYTE* buffer,
                                        DWORD bufferBytes, DWORD* bytesNeeded) {
  FakeService* s = Lookup(service);
  if (!s) return Fail(ERROR_INVALID_HANDLE);
  if (level != SC_STATUS_PROCESS_INFO) return Fail(ERROR_INVALID_LEVEL);
  if (bufferBytes < sizeof(SERVICE_STATUS_PROCESS)) {
    *bytesNeeded = sizeof(SERVICE_STATUS_PROCESS);
    return Fail(ERROR_INSUFFICIENT_BUFFER);
  }
  const int n = s->queries++;
  if (s->queriesBeforeFailure >= 0 && n >= s->queriesBeforeFailure) return Fail(s->queryError);
  const SERVICE_STATUS_PROCESS st = Current(*s);
  std::memcpy(buffer, &st, sizeof st);
  return TRUE;
}

BOOL FakePlatform::ControlService(SC_HANDLE service, DWORD control, SERVICE_STATUS* status) {
  FakeService* s = Lookup(service);
  if (!s) return Fail(ERROR_INVALID_HANDLE);
  if (control != SERVICE_CONTROL_STOP) return Fail(ERROR_INVALID_SERVICE_CONTROL);
  ++s->stops;
  now_ += s->controlMs;
  if (s->controlError) return Fail(s->controlError);
  s->following = s->afterStop ? s->afterStop : [](DWORD) { return Status(SERVICE_STOPPED); };
  s->followingSince = now_;
  const SERVICE_STATUS_PROCESS st = Current(*s);
  std::memcpy(status, &st, sizeof(SERVICE_STATUS));
  return TRUE;
}

BOOL FakePlatform::StartServiceW(SC_HANDLE service, DWORD argc, const wchar_t** argv) {
  FakeService* s = Lookup(service);
  if (!s) return Fail(ERROR_INVALID_HANDLE);
  if (argc != 0 || argv != nullptr) return Fail(ERROR_INVALID_PARAMETER);
  ++s->starts;
  if (s->startError) return Fail(s->startError);
  s->following = s->afterStart ? s->afterStart : [](DWORD) { return Status(SERVICE_RUNNING); };
  s->followingSince = now_;
  return TRUE;
}

BOOL FakePlatform::ChangeServiceConfig2W(SC_HANDLE service, DWORD level, void* info) {
  FakeService* s = Lookup(service);
  if (!s) return Fail(ERROR_INVALID_HANDLE);
  if (level != SERVICE_CONFIG_DESCRIPTION) return Fail(ERROR_INVALID_LEVEL);
  if (s->describeError) return Fail(s->describeError);
  const wchar_t* text = static_cast<SERVICE_DESCRIPTIONW*>(info)->lpDescription;
  s->described = true;
  s->description = text ? text : L"(null)";
  return TRUE;
}

DWORD FakePlatform::FormatMessageA(DWORD flags, const void*, DWORD messageId, DWORD languageId,
                                   char* buffer, DWORD, va_list*) {
  formatFlags.push_back(flags);
  formatLanguages.push_back(languageId);
  auto it = messages.find(messageId);
  if (it == messages.end() || !(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER)) {
    Fail(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  HLOCAL block = ::LocalAlloc(LMEM_FIXED, it->second.size() + 1);
  live_.insert(block);
  std::memcpy(block, it->second.c_str(), it->second.size() + 1);
  *reinterpret_cast<char**>(buffer) = static_cast<char*>(block);
  return static_cast<DWORD>(it->second.size());
}

DWORD FakePlatform::FormatMessageW(DWORD flags, const void*, DWORD messageId, DWORD,
                                   wchar_t* buffer, DWORD, va_list*) {
  formatWideFlags.push_back(flags);
  auto it = messages.find(messageId);
  if (it == messages.end() || !(flags & FORMAT_MESSAGE_ALLOCATE_BUFFER)) {
    Fail(ERROR_MR_MID_NOT_FOUND);
    return 0;
  }
  const std::wstring text(it->second.begin(), it->second.end());  // the texts are ASCII
  const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  HLOCAL block = ::LocalAlloc(LMEM_FIXED, bytes);
  live_.insert(block);
  std::memcpy(block, text.c_str(), bytes);
  *reinterpret_cast<wchar_t**>(buffer) = static_cast<wchar_t*>(block);
  return static_cast<DWORD>(text.size());
}

HLOCAL FakePlatform::LocalAlloc(UINT flags, SIZE_T bytes) {
  const int n = static_cast<int>(allocations.size());
  allocations.push_back(bytes);
  if (n == failAllocation || flags != LMEM_FIXED) {
    Fail(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HLOCAL block = ::LocalAlloc(LMEM_FIXED, bytes ? bytes : 1);
  // Poisoned: an entry the tool reads but the manager never wrote shows up.
  std::memset(block, 0xA5, bytes);
  live_.insert(block);
  return block;
}

HLOCAL FakePlatform::LocalFree(HLOCAL memory) {
  if (live_.erase(memory) == 0) {
    ++badReleases_;
    return memory;
  }
  return ::LocalFree(memory);
}

void FakePlatform::WriteWide(std::wstring_view text) { out += wttest::Narrow(std::wstring(text)); }

}  // namespace svcctl::testing
