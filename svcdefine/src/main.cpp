// svcdefine: registers a Windows service described by an INI file
// ("svcdefine <inifilepath>") or stops and deletes one by name
// ("svcdefine -remove <servicename>"). The exit code is the id of the
// message printed last (0 on success, -1 for a usage error).
#include <string>
#include <vector>

#include "operations.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  return svcdefine::Run(svcdefine::RealPlatform(), args);
}
