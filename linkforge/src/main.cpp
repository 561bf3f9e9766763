// linkforge: creates the Start-menu shortcuts an INI file lists
// ("-create inifilepath"), deletes one shortcut from both Programs folders
// ("-delete folderpath shortcutname") or every shortcut an INI file lists
// ("-deleteall inifilepath"). The exit code is the result (codes.h).
#include <string>
#include <vector>

#include "operations.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return linkforge::Run(linkforge::RealPlatform(), args);
}
