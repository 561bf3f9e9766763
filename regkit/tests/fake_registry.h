// A scripted registry for the operations of libRegKit: one key, one value
// whose data may change from one query to the next, and the failures Wine
// cannot produce. Every call is recorded by name; opens and closes are
// counted.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform.h"

namespace regkit_test {

class FakeRegistry {
 public:
  FakeRegistry();
  ~FakeRegistry();
  FakeRegistry(const FakeRegistry&) = delete;
  FakeRegistry& operator=(const FakeRegistry&) = delete;

  const regkit::Platform& table() const { return table_; }
  static FakeRegistry& Current();

  std::vector<std::string> calls;   // Win32 names, in order
  std::vector<std::wstring> lines;  // message lines, as formatted
  int opens = 0;
  int closes = 0;

  // RegOpenKeyExW's answer for an access mask; RegCreateKeyExW's answer.
  std::function<LONG(REGSAM)> open = [](REGSAM) { return LONG{ERROR_SUCCESS}; };
  LONG create = ERROR_SUCCESS;
  // The value's data as the n-th RegQueryValueExW finds it (the last entry
  // holds for later calls); nullopt: no such value. Like Windows, a buffer
  // too small gives ERROR_MORE_DATA; unlike it, the fake then scribbles over
  // the buffer, and after a successful read fills the rest with 'A' bytes.
  std::vector<std::optional<std::string>> data;
  bool hasDeleteKeyEx = true;
  std::vector<std::wstring> deletions;  // "RegDeleteKeyW path" / "RegDeleteKeyExW path flag"
  // The key's value names and subkey names, for the count and enumeration.
  std::vector<std::wstring> valueNames, subkeyNames;
  std::vector<std::wstring> writes;  // "RegSetValueExW name", "RegDeleteValueW name",
                                     // "SHDeleteKeyW path"

 private:
  regkit::Platform table_{};
};

}  // namespace regkit_test
