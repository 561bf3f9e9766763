// The INI rules on their own, against a profile source that answers from a
// table the way the platform reader does (absent and empty read alike).
#include "definition.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace svcdefine {
namespace {

class TableProfile : public ProfileSource {
 public:
  explicit TableProfile(std::map<std::wstring, std::wstring> values) : values_(std::move(values)) {}
  std::wstring ReadText(const wchar_t* key) const override {
    read.push_back(key);
    auto it = values_.find(key);
    return it == values_.end() ? L"" : it->second;
  }
  std::uint32_t ReadInteger(const wchar_t* key) const override {
    read.push_back(key);
    auto it = values_.find(key);
    return it == values_.end() ? 0 : static_cast<std::uint32_t>(std::stoul(it->second));
  }
  mutable std::vector<std::wstring> read;

 private:
  std::map<std::wstring, std::wstring> values_;
};

std::map<std::wstring, std::wstring> Minimal() {
  return {{L"ServiceName", L"Svc"},
          {L"DisplayName", L"Svc display"},
          {L"BinaryPathName", L"C:\\svc.exe"},
          {L"StartType", L"SERVICE_DEMAND_START"}};
}

TEST(ReadDefinition, ReadsTheKeysInTheirFixedOrder) {
  TableProfile p(Minimal());
  ServiceDefinition d;
  ASSERT_EQ(ReadDefinition(p, &d), 0);
  const std::vector<std::wstring> order = {
      L"ServiceName",  L"DisplayName",     L"Description",     L"BinaryPathName",
      L"Dependencies", L"StartType",       L"ErrorControl",    L"Interactive",
      L"AccessChgCfg", L"AccessInterrogate", L"AccessPauseCont", L"AccessQryCfg",
      L"AccessQryStatus", L"AccessStart",  L"AccessStop",      L"AccessUserDefCtrl",
      L"WorkDir",      L"ServiceStartName"};
  EXPECT_EQ(p.read, order);
  EXPECT_EQ(d.ServiceName, L"Svc");
  EXPECT_EQ(d.DisplayName, L"Svc display");
  EXPECT_EQ(d.BinaryPathName, L"C:\\svc.exe");
  EXPECT_EQ(d.StartType, 3u);
  EXPECT_EQ(d.ErrorControl, 0u) << "no ErrorControl key means SERVICE_ERROR_IGNORE";
  EXPECT_EQ(d.ServiceType, 0x10u);
  EXPECT_EQ(d.DesiredAccess, 0u);
  EXPECT_FALSE(d.Description);
  EXPECT_FALSE(d.Dependencies);
  EXPECT_FALSE(d.WorkDir);
  EXPECT_FALSE(d.ServiceStartName);
}

struct FailureCase {
  const char* what;
  std::map<std::wstring, std::wstring> changes;  // value "" removes the key
  int result;
  const wchar_t* lastKeyRead;
};

TEST(ReadDefinition, FirstFailureEndsReadingWithItsMessageId) {
  const FailureCase cases[] = {
      {"no ServiceName", {{L"ServiceName", L""}}, 201, L"ServiceName"},
      {"no DisplayName and no StartType: only 202",
       {{L"DisplayName", L""}, {L"StartType", L""}}, 202, L"DisplayName"},
      {"no BinaryPathName", {{L"BinaryPathName", L""}}, 203, L"BinaryPathName"},
      {"no StartType", {{L"StartType", L""}}, 204, L"StartType"},
      {"lower-case StartType keyword", {{L"StartType", L"service_demand_start"}}, 301, L"StartType"},
      {"StartType keyword with a number", {{L"StartType", L"3"}}, 301, L"StartType"},
      {"a bad StartType ends reading before ErrorControl",
       {{L"StartType", L"SERVICE_AUTO"}, {L"ErrorControl", L"bad"}}, 301, L"StartType"},
      {"lower-case ErrorControl", {{L"ErrorControl", L"service_error_normal"}}, 302, L"ErrorControl"},
  };
  for (const auto& c : cases) {
    auto values = Minimal();
    for (const auto& [k, v] : c.changes) {
      if (v.empty()) values.erase(k); else values[k] = v;
    }
    TableProfile p(values);
    ServiceDefinition d;
    d.ServiceName = L"untouched";
    EXPECT_EQ(ReadDefinition(p, &d), c.result) << c.what;
    EXPECT_EQ(p.read.back(), c.lastKeyRead) << c.what;
    EXPECT_EQ(d.ServiceName, L"untouched") << c.what;
  }
}

TEST(ReadDefinition, KeywordsMapToTheirCodes) {
  const std::pair<const wchar_t*, std::uint32_t> starts[] = {
      {L"SERVICE_AUTO_START", 2}, {L"SERVICE_BOOT_START", 0}, {L"SERVICE_DEMAND_START", 3},
      {L"SERVICE_DISABLED", 4},   {L"SERVICE_SYSTEM_START", 1}};
  for (const auto& [k, code] : starts) EXPECT_EQ(StartTypeCode(k), code) << k;
  const std::pair<const wchar_t*, std::uint32_t> errors[] = {
      {L"SERVICE_ERROR_CRITICAL", 3}, {L"SERVICE_ERROR_IGNORE", 0},
      {L"SERVICE_ERROR_NORMAL", 1},   {L"SERVICE_ERROR_SEVERE", 2}};
  for (const auto& [k, code] : errors) EXPECT_EQ(ErrorControlCode(k), code) << k;
  EXPECT_FALSE(StartTypeCode(L"SERVICE_AUTO_START "));
  EXPECT_FALSE(ErrorControlCode(L"Service_Error_Normal"));
}

TEST(ReadDefinition, FlagsAddTheirBits) {
  struct Case {
    std::map<std::wstring, std::wstring> flags;
    std::uint32_t type, access;
  } cases[] = {
      {{{L"Interactive", L"0"}}, 0x10, 0},
      {{{L"Interactive", L"2"}}, 0x110, 0},
      {{{L"AccessChgCfg", L"1"}}, 0x10, 0x0002},
      {{{L"AccessInterrogate", L"1"}}, 0x10, 0x0080},
      {{{L"AccessPauseCont", L"1"}}, 0x10, 0x0040},
      {{{L"AccessQryCfg", L"1"}}, 0x10, 0x0001},
      {{{L"AccessQryStatus", L"1"}}, 0x10, 0x0004},
      {{{L"AccessStart", L"5"}}, 0x10, 0x0010},
      {{{L"AccessStop", L"1"}}, 0x10, 0x0020},
      {{{L"AccessUserDefCtrl", L"1"}}, 0x10, 0x0100},
      {{{L"AccessChgCfg", L"1"}, {L"AccessQryStatus", L"1"}, {L"AccessStart", L"1"},
        {L"AccessStop", L"0"}},
       0x10, 0x0016},
  };
  for (const auto& c : cases) {
    auto values = Minimal();
    values.insert(c.flags.begin(), c.flags.end());
    TableProfile p(values);
    ServiceDefinition d;
    ASSERT_EQ(ReadDefinition(p, &d), 0);
    EXPECT_EQ(d.ServiceType, c.type) << c.flags.begin()->first;
    EXPECT_EQ(d.DesiredAccess, c.access) << c.flags.begin()->first;
  }
}

TEST(DependencyList, SplitsAtBarsAndSkipsEmptyEntries) {
  using namespace std::string_literals;
  const std::pair<std::wstring, std::optional<std::wstring>> cases[] = {
      {L"A|B", L"A\0B\0"s},
      {L"Tcpip", L"Tcpip\0"s},
      // An empty entry would end the platform's list and silently drop B.
      {L"A||B", L"A\0B\0"s},
      {L"|A", L"A\0"s},
      {L"A|", L"A\0"s},
      {L" A | B ", L" A \0 B \0"s},
      {L"|", std::nullopt},
      {L"||", std::nullopt},
      {L"", std::nullopt},
  };
  for (const auto& [value, expected] : cases) {
    EXPECT_EQ(DependencyList(value), expected) << std::string(value.begin(), value.end());
  }
}

}  // namespace
}  // namespace svcdefine
