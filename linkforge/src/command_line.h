// linkforge's three command forms. Pure text logic: no Windows header.
#pragma once

#include <string>
#include <vector>

namespace linkforge {

struct Command {
  enum Kind {
    kUsage,     // print the usage text, result -1
    kUnknown,   // result -1, no usage text
    kCreate,    // first = INI path
    kDelete,    // first = folder path, second = shortcut name
    kDeleteAll  // first = INI path
  } kind = kUnknown;
  std::wstring first, second;
};

// args are the arguments after the program name, at least two of them (with
// fewer the program prints the usage text and ends at once). The command
// word is compared without regard to ASCII case; extra arguments are ignored.
Command ParseCommandLine(const std::vector<std::wstring>& args);

extern const wchar_t kUsageText[];

}  // namespace linkforge
