// linkforge's operations. Each returns a result code (codes.h) for the
// driver, which prints the closing line and exits with it.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

namespace linkforge {

// Creates every shortcut the INI file lists, through one shell link object.
// kOk when every shortcut was saved; kSaveFailed when any was not (the
// others are still made); kComInitFailed, an INI loading code, -99, -3, or
// -6 from the first bad section (shortcuts saved before it remain).
int CreateShortcuts(const Platform& platform, const std::wstring& iniPath);

// Deletes folderPath\name.lnk below the current user's and then the common
// Programs folder, one line per location and a summary line. kOk when it
// was deleted somewhere, kNotFound when it was nowhere, kDeleteFailed when
// it exists somewhere and could not be deleted, -99 when neither Programs
// folder can be located. folderPath and name are used as given.
int DeleteShortcut(const Platform& platform, const std::wstring& folderPath,
                   const std::wstring& name);

// Deletes every shortcut the INI file lists from Programs folder +
// folderStructure, one line per shortcut. kDeleteFailed when any could not
// be deleted, else the last shortcut's code (kOk or kNotFound); an INI
// loading code, -99, -3, or -6 from the first bad section.
int DeleteAllShortcuts(const Platform& platform, const std::wstring& iniPath);

// The whole program: args are the arguments after the program name; returns
// the exit code.
int Run(const Platform& platform, const std::vector<std::wstring>& args);

// Internal to the operations.
namespace detail {

// The current user's (CSIDL_PROGRAMS) or the common (CSIDL_COMMON_PROGRAMS)
// Start-menu Programs folder, without creating it; false when it cannot be
// located.
bool LocateProgramsFolder(const Platform& platform, bool allUsers, std::wstring* folder);

// Longest folder or link path the operations hand to the platform: the
// platform's MAX_PATH less the terminating zero. Longer paths are refused
// rather than cut, so that a cut path never names another file.
constexpr size_t kMaxPathChars = MAX_PATH - 1;

}  // namespace detail
}  // namespace linkforge
