// svcdefine's service record read from an INI file, and the Dependencies list.
// The profile source below reads the "Service" section roughly as the
// platform's profile reader does; the record rules are what is fuzzed.
#include <cwctype>
#include <string>
#include <string_view>

#include "support.h"
#include "svcdefine/src/definition.h"

namespace {

std::wstring_view Trim(std::wstring_view s) {
  while (!s.empty() && (s.front() == L' ' || s.front() == L'\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == L' ' || s.back() == L'\t')) s.remove_suffix(1);
  return s;
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

class IniProfile : public svcdefine::ProfileSource {
 public:
  explicit IniProfile(std::wstring text) : lines_(fuzz::Lines(text)) {}

  std::wstring ReadText(const wchar_t* key) const override {
    bool inSection = false;
    for (const std::wstring& raw : lines_) {
      const std::wstring_view line = Trim(raw);
      if (!line.empty() && line.front() == L'[') {
        inSection = SameName(Trim(line.substr(1, line.find(L']') - 1)), L"Service");
        continue;
      }
      const std::size_t equals = line.find(L'=');
      if (!inSection || equals == std::wstring_view::npos) continue;
      if (!SameName(Trim(line.substr(0, equals)), key)) continue;
      std::wstring_view value = Trim(line.substr(equals + 1));
      if (value.size() >= 2 && (value.front() == L'"' || value.front() == L'\'') &&
          value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
      }
      return std::wstring(value.substr(0, value.find(L'\0')));
    }
    return std::wstring();
  }

  std::uint32_t ReadInteger(const wchar_t* key) const override {
    const std::wstring text = ReadText(key);
    std::size_t i = text.empty() || text[0] != L'-' ? 0 : 1;
    std::uint32_t value = 0;
    for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
      value = value * 10 + static_cast<std::uint32_t>(text[i] - L'0');
    }
    return !text.empty() && text[0] == L'-' ? 0 - value : value;
  }

 private:
  std::vector<std::wstring> lines_;
};

// A platform list: each name non-empty and followed by its zero, no "|".
void CheckList(const std::optional<std::wstring>& list) {
  if (!list) return;
  FUZZ_CHECK(!list->empty() && list->back() == L'\0');
  FUZZ_CHECK(list->front() != L'\0' && list->find(std::wstring(2, L'\0')) == std::wstring::npos);
  FUZZ_CHECK(list->find(L'|') == std::wstring::npos);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::wstring text = fuzz::WideFromBytes(data, size);
  // A profile value never holds a zero.
  CheckList(svcdefine::DependencyList(text.substr(0, text.find(L'\0'))));

  svcdefine::ServiceDefinition d;
  d.ServiceName = L"untouched";
  const int code = svcdefine::ReadDefinition(IniProfile(std::move(text)), &d);
  if (code != 0) {
    FUZZ_CHECK(code == 201 || code == 202 || code == 203 || code == 204 || code == 301 ||
               code == 302);
    FUZZ_CHECK(d.ServiceName == L"untouched");
    return 0;
  }
  FUZZ_CHECK(!d.ServiceName.empty() && !d.DisplayName.empty() && !d.BinaryPathName.empty());
  FUZZ_CHECK(!d.Description || !d.Description->empty());
  FUZZ_CHECK(!d.WorkDir || !d.WorkDir->empty());
  FUZZ_CHECK(!d.ServiceStartName || !d.ServiceStartName->empty());
  CheckList(d.Dependencies);
  FUZZ_CHECK(d.StartType <= 4 && d.ErrorControl <= 3);
  FUZZ_CHECK(d.ServiceType == 0x10 || d.ServiceType == 0x110);
  FUZZ_CHECK((d.DesiredAccess & ~0x1F7u) == 0);
  return 0;
}
