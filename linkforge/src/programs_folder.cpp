#include "operations.h"

namespace linkforge::detail {

bool LocateProgramsFolder(const Platform& platform, bool allUsers, std::wstring* folder) {
  wchar_t path[MAX_PATH] = {};
  if (!platform.SHGetSpecialFolderPathW(nullptr, path,
                                        allUsers ? CSIDL_COMMON_PROGRAMS : CSIDL_PROGRAMS, FALSE) ||
      path[0] == L'\0') {
    return false;  // an empty folder would put every path at the drive's root
  }
  folder->assign(path);
  return true;
}

}  // namespace linkforge::detail
