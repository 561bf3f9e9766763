#include "command_line.h"

#include "key_lookup.h"

namespace linkforge {

const wchar_t kUsageText[] =
    L"USAGE:\n"
    L"  To create shortcuts:\n"
    L"    linkforge -create inifilepath\n"
    L"  To delete a shortcut:\n"
    L"    linkforge -delete folderpath shortcutname\n"
    L"  To delete all shortcuts in an ini file:\n"
    L"    linkforge -deleteall inifilepath\n";

Command ParseCommandLine(const std::vector<std::wstring>& args) {
  Command c;
  if (args.size() < 2) {
    c.kind = Command::kUsage;
    return c;
  }
  const std::wstring& word = args[0];
  c.first = args[1];
  if (EqualsIgnoringAsciiCase(word, L"-create")) {
    c.kind = Command::kCreate;
  } else if (EqualsIgnoringAsciiCase(word, L"-deleteall")) {
    c.kind = Command::kDeleteAll;
  } else if (EqualsIgnoringAsciiCase(word, L"-delete")) {
    if (args.size() < 3) {
      c.kind = Command::kUsage;
    } else {
      c.kind = Command::kDelete;
      c.second = args[2];
    }
  }
  return c;
}

}  // namespace linkforge
