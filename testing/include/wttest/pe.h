// Reads what a PE file declares about itself, from its bytes on disk: no
// loading, so any architecture can be inspected from any test.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace wttest {

struct PeInfo {
  bool valid = false;
  WORD machine = 0;    // IMAGE_FILE_MACHINE_I386 / _AMD64
  WORD subsystem = 0;  // IMAGE_SUBSYSTEM_WINDOWS_CUI for console programs
  bool isDll = false;
  std::vector<std::string> imports;  // DLL names, as written in the file
  std::vector<std::string> exports;  // exported function names
  std::vector<WORD> resourceTypes;   // integer ids of the top resource level
  DWORD certificateTableSize = 0;    // bytes of Authenticode signatures; 0: unsigned
  // Section names, the long ones (".eh_frame", ".debug_info") read from the
  // file's string table.
  std::vector<std::string> sections;
};

PeInfo ReadPe(const std::wstring& path);

}  // namespace wttest
