// The service INI file read into a ServiceDefinition. Pure text logic: no
// Windows header, so it also builds and runs on a host compiler.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace svcdefine {

// The values of the INI file's "Service" section as a profile reader returns
// them (key names matched without regard to case, blanks and one pair of
// enclosing quotes removed).
class ProfileSource {
 public:
  virtual ~ProfileSource() = default;
  // The whole value of key; empty when the key is absent or its value empty.
  virtual std::wstring ReadText(const wchar_t* key) const = 0;
  // The value read as an integer by the profile reader; 0 when absent.
  virtual std::uint32_t ReadInteger(const wchar_t* key) const = 0;
};

// What CreateServiceW and the steps after it need. An absent optional is
// passed to the platform as a null pointer, never as an empty string.
struct ServiceDefinition {
  std::wstring ServiceName;
  std::wstring DisplayName;
  std::optional<std::wstring> Description;
  std::wstring BinaryPathName;
  // The names, each followed by its zero ("A\0B\0"); c_str() supplies the
  // final zero of the platform's double-zero-terminated list.
  std::optional<std::wstring> Dependencies;
  std::optional<std::wstring> WorkDir;
  std::optional<std::wstring> ServiceStartName;
  std::uint32_t StartType = 0;
  std::uint32_t ErrorControl = 0;
  std::uint32_t ServiceType = 0;
  std::uint32_t DesiredAccess = 0;
};

// Reads the keys in their fixed order; the first failure ends reading.
// Returns 0 with *definition filled, or the message id of the failure
// (201-204, 301, 302), *definition then untouched.
int ReadDefinition(const ProfileSource& profile, ServiceDefinition* definition);

// Start type and error control keywords, compared with regard to case.
std::optional<std::uint32_t> StartTypeCode(const std::wstring& keyword);
std::optional<std::uint32_t> ErrorControlCode(const std::wstring& keyword);

// The Dependencies value, names separated by "|", as the platform's list.
// Names are kept exactly as written, blanks included. Empty entries ("A||B",
// "|A", a trailing "|") are skipped: written into the list they would end it
// early and silently drop the names after them. No name at all: nullopt.
std::optional<std::wstring> DependencyList(const std::wstring& value);

}  // namespace svcdefine
