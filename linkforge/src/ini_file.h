// Loading linkforge's INI file: the whole file read as bytes and converted
// from the system's ANSI code page.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

#include "platform.h"
#include "wt/owned.h"

namespace linkforge {

// The converted text. The block (size + 1 zero-filled wide characters, the
// file's size in bytes) is owned here and released through the platform's
// LocalFree; text views its converted characters, which end at the block's
// first zero: the conversion stops at the file's first zero byte.
struct IniText {
  explicit IniText(const Platform& platform) : block(platform.LocalFree) {}
  wt::Owned<decltype(&::LocalFree)> block;
  std::wstring_view text;
};

// kOk with *ini filled; kIniOpenFailed (-2) when the file cannot be opened;
// kPlatformFailed (-99) when its size or content cannot be read; kNoMemory
// (-98) when a buffer cannot be had (also for a file of 2 GB or more, whose
// text the conversion cannot take).
int LoadIniText(const Platform& platform, const std::wstring& path, IniText* ini);

}  // namespace linkforge
