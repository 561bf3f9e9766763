// The three command forms of svcdefine. Pure text logic: no Windows header.
#pragma once

#include <string>
#include <vector>

namespace svcdefine {

struct Command {
  enum Kind { kUsage, kDefine, kRemove } kind = kUsage;
  std::wstring operand;  // the INI path (kDefine) or the service name (kRemove)
};

// args are the arguments after the program name.
//   <inifilepath>                 define (exactly one argument, even "-remove")
//   -remove <servicename>         remove ("-remove" in any case)
//   anything else                 usage
Command ParseCommandLine(const std::vector<std::wstring>& args);

// The usage text, printed as it stands.
extern const wchar_t kUsageText[];

}  // namespace svcdefine
