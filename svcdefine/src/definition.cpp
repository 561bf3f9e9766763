#include "definition.h"

#include "messages.h"

namespace svcdefine {
namespace {

constexpr std::uint32_t kOwnProcess = 0x10;          // SERVICE_WIN32_OWN_PROCESS
constexpr std::uint32_t kInteractiveProcess = 0x100; // SERVICE_INTERACTIVE_PROCESS

struct Keyword {
  const wchar_t* text;
  std::uint32_t code;
};

constexpr Keyword kStartTypes[] = {
    {L"SERVICE_AUTO_START", 2},   {L"SERVICE_BOOT_START", 0},   {L"SERVICE_DEMAND_START", 3},
    {L"SERVICE_DISABLED", 4},     {L"SERVICE_SYSTEM_START", 1},
};

constexpr Keyword kErrorControls[] = {
    {L"SERVICE_ERROR_CRITICAL", 3}, {L"SERVICE_ERROR_IGNORE", 0},
    {L"SERVICE_ERROR_NORMAL", 1},   {L"SERVICE_ERROR_SEVERE", 2},
};

// The Access keys and the service right each adds to DesiredAccess. There is
// deliberately no key for SERVICE_ENUMERATE_DEPENDENTS or a standard right.
constexpr Keyword kAccessKeys[] = {
    {L"AccessChgCfg", 0x0002},     // SERVICE_CHANGE_CONFIG
    {L"AccessInterrogate", 0x0080}, // SERVICE_INTERROGATE
    {L"AccessPauseCont", 0x0040},  // SERVICE_PAUSE_CONTINUE
    {L"AccessQryCfg", 0x0001},     // SERVICE_QUERY_CONFIG
    {L"AccessQryStatus", 0x0004},  // SERVICE_QUERY_STATUS
    {L"AccessStart", 0x0010},      // SERVICE_START
    {L"AccessStop", 0x0020},       // SERVICE_STOP
    {L"AccessUserDefCtrl", 0x0100}, // SERVICE_USER_DEFINED_CONTROL
};

template <size_t N>
std::optional<std::uint32_t> Lookup(const Keyword (&table)[N], const std::wstring& text) {
  for (const auto& k : table) {
    if (text == k.text) return k.code;
  }
  return std::nullopt;
}

std::optional<std::wstring> Optional(std::wstring value) {
  if (value.empty()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<std::uint32_t> StartTypeCode(const std::wstring& keyword) {
  return Lookup(kStartTypes, keyword);
}

std::optional<std::uint32_t> ErrorControlCode(const std::wstring& keyword) {
  return Lookup(kErrorControls, keyword);
}

std::optional<std::wstring> DependencyList(const std::wstring& value) {
  std::wstring list;
  size_t begin = 0;
  while (begin <= value.size()) {
    size_t end = value.find(L'|', begin);
    if (end == std::wstring::npos) end = value.size();
    if (end > begin) {
      list.append(value, begin, end - begin);
      list.push_back(L'\0');
    }
    begin = end + 1;
  }
  if (list.empty()) return std::nullopt;
  return list;
}

int ReadDefinition(const ProfileSource& profile, ServiceDefinition* definition) {
  ServiceDefinition d;
  d.ServiceName = profile.ReadText(L"ServiceName");
  if (d.ServiceName.empty()) return kServiceNameNotFound;
  d.DisplayName = profile.ReadText(L"DisplayName");
  if (d.DisplayName.empty()) return kDisplayNameNotFound;
  d.Description = Optional(profile.ReadText(L"Description"));
  d.BinaryPathName = profile.ReadText(L"BinaryPathName");
  if (d.BinaryPathName.empty()) return kBinaryPathNameNotFound;
  d.Dependencies = DependencyList(profile.ReadText(L"Dependencies"));

  const std::wstring startType = profile.ReadText(L"StartType");
  if (startType.empty()) return kStartTypeNotFound;
  const auto startCode = StartTypeCode(startType);
  if (!startCode) return kInvalidStartType;
  d.StartType = *startCode;

  const std::wstring errorControl = profile.ReadText(L"ErrorControl");
  if (!errorControl.empty()) {
    const auto code = ErrorControlCode(errorControl);
    if (!code) return kInvalidErrorControl;
    d.ErrorControl = *code;
  }  // else SERVICE_ERROR_IGNORE (0), not the platform's usual NORMAL

  d.ServiceType = kOwnProcess;
  if (profile.ReadInteger(L"Interactive") != 0) d.ServiceType |= kInteractiveProcess;
  for (const auto& access : kAccessKeys) {
    if (profile.ReadInteger(access.text) != 0) d.DesiredAccess |= access.code;
  }
  d.WorkDir = Optional(profile.ReadText(L"WorkDir"));
  d.ServiceStartName = Optional(profile.ReadText(L"ServiceStartName"));
  *definition = std::move(d);
  return 0;
}

}  // namespace svcdefine
