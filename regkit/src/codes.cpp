#include "codes.h"

namespace regkit {

std::uint32_t RootKeyValue(std::int32_t rootCode) {
  switch (rootCode) {
    case 1:
      return kClassesRoot;
    case 2:
      return kCurrentConfig;
    case 8:
      return kLocalMachine;
    case 16:
      return kUsers;
    default:
      // Not an error: an unknown code has always meant the current user.
      return kCurrentUser;
  }
}

std::uint32_t RegTypeFromCode(std::int32_t typeCode) {
  switch (typeCode) {
    case 100:
      return 3;  // REG_BINARY
    case 101:
    case 102:
      return 4;  // REG_DWORD, REG_DWORD_LITTLE_ENDIAN
    case 103:
      return 5;  // REG_DWORD_BIG_ENDIAN
    case 104:
      return 2;  // REG_EXPAND_SZ
    case 105:
      return 6;  // REG_LINK
    case 106:
      return 7;  // REG_MULTI_SZ
    case 107:
      return 0;  // REG_NONE
    case 108:
      return 8;  // REG_RESOURCE_LIST
    default:
      return 1;  // REG_SZ
  }
}

std::size_t JoinedTextLength(wchar_t* units, std::size_t count, wchar_t separator) {
  if (separator != 0) {
    // The unit after the last one of the data is the zero tail, so a final
    // zero is never replaced.
    for (std::size_t i = 0; i + 1 < count; ++i) {
      if (units[i] == 0 && units[i + 1] != 0) units[i] = separator;
    }
  }
  std::size_t length = 0;
  while (length < count && units[length] != 0) ++length;
  return length;
}

bool NamesRootItself(const wchar_t* path) {
  for (; *path; ++path) {
    if (*path != L'\\') return false;
  }
  return true;
}

}  // namespace regkit
