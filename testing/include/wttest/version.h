// Reads a file's version resource the way Windows shows it (file
// properties): through the version API, not from the file's bytes.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace wttest {

struct VersionInfo {
  bool present = false;  // a VS_FIXEDFILEINFO could be read
  DWORD fileMS = 0, fileLS = 0, productMS = 0, productLS = 0, fileType = 0;
  // The U.S. English, Unicode (040904B0) strings that were found.
  std::vector<std::pair<std::wstring, std::wstring>> strings;

  // The string's value, or "<missing>".
  std::wstring Get(const wchar_t* name) const;
};

VersionInfo ReadVersion(const std::wstring& path);

}  // namespace wttest
