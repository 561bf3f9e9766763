#include "ini_file.h"

#include <climits>
#include <cstring>

#include "codes.h"

namespace linkforge {

int LoadIniText(const Platform& platform, const std::wstring& path, IniText* ini) {
  wt::Owned file(platform.CloseHandle,
                 platform.CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return kIniOpenFailed;
  // INVALID_FILE_SIZE is also the low part of a real size; only the last
  // error tells them apart, so it is cleared first.
  SetLastError(NO_ERROR);
  DWORD high = 0;
  const DWORD size = platform.GetFileSize(file.get(), &high);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return kPlatformFailed;
  if (high != 0 || size >= INT_MAX) return kNoMemory;

  wt::Owned bytes(platform.LocalFree, platform.LocalAlloc(LPTR, size + SIZE_T{1}));
  if (!bytes) return kNoMemory;
  char* raw = static_cast<char*>(bytes.get());
  DWORD read = 0;
  if (!platform.ReadFile(file.get(), raw, size, &read, nullptr) || read != size) {
    return kPlatformFailed;
  }
  file.reset();

  const SIZE_T chars = size + SIZE_T{1};
  wt::Owned wide(platform.LocalFree, platform.LocalAlloc(LPTR, chars * sizeof(wchar_t)));
  if (!wide) return kNoMemory;
  auto* text = static_cast<wchar_t*>(wide.get());
  // Up to the first zero byte: a UTF-16 file ends here after a character or
  // two, and no section is found in it.
  const int length = static_cast<int>(strnlen(raw, size));
  int converted = 0;
  if (length > 0) {
    converted = platform.MultiByteToWideChar(CP_ACP, 0, raw, length, text, static_cast<int>(chars));
    // Read as an empty file, a text that could not be converted would end
    // the run with a fault of the file (-3) instead.
    if (converted == 0) return kPlatformFailed;
  }
  ini->block = std::move(wide);
  ini->text = std::wstring_view(text, static_cast<size_t>(converted));
  return kOk;
}

}  // namespace linkforge
