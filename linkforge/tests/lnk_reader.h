// Reads a shell link file back through a fresh shell link object (its own
// IShellLinkW and IPersistFile::Load), for the tests and the demo.
#pragma once

#include <string>

namespace linkforge::testing {

struct LinkInfo {
  bool loaded = false;
  std::wstring target, arguments, workingDirectory, iconPath;
  int iconIndex = 0;
};

// The calling thread must have initialised COM.
LinkInfo ReadLink(const std::wstring& file);

}  // namespace linkforge::testing
