#include "command_line.h"

namespace svcdefine {
namespace {

// ASCII-only case folding: the command word is ASCII, and a locale-dependent
// fold (Turkish dotless i) must not decide whether "-REMOVE" matches.
bool EqualsIgnoringAsciiCase(const std::wstring& a, const wchar_t* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    wchar_t x = a[i], y = b[i];
    if (x >= L'A' && x <= L'Z') x = static_cast<wchar_t>(x - L'A' + L'a');
    if (y >= L'A' && y <= L'Z') y = static_cast<wchar_t>(y - L'A' + L'a');
    if (x != y) return false;
  }
  return i == a.size() && b[i] == L'\0';
}

}  // namespace

const wchar_t kUsageText[] = L"USAGE:\n  svcdefine <inifilepath>\n";

Command ParseCommandLine(const std::vector<std::wstring>& args) {
  Command c;
  if (args.size() == 1) {
    c.kind = Command::kDefine;
    c.operand = args[0];
  } else if (args.size() == 2 && EqualsIgnoringAsciiCase(args[0], L"-remove")) {
    c.kind = Command::kRemove;
    c.operand = args[1];
  }
  return c;
}

}  // namespace svcdefine
