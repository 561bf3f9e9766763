// What linkforge reads from its INI file, through its own key lookup:
// [Constants] first, then one [Shortcut] section after another. Pure text
// logic: no Windows header.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "codes.h"
#include "key_lookup.h"

namespace linkforge {

// Buffer capacities of the values, terminating zero included: a value may
// hold one character less (see FindKey).
constexpr size_t kFlagCapacity = 32;   // createForAllUsers
constexpr size_t kPathCapacity = 520;  // folders, names, target, icon file
constexpr size_t kArgumentsCapacity = 4096;
constexpr size_t kIndexCapacity = 512;  // iconIndex

// createForAllUsers is "true" in any case; false when it is absent, another
// value or unreadable.
bool ReadForAllUsers(std::wstring_view text);

// folderStructure of [Constants], as written, and where the shortcut scan
// starts (the section after [Constants], kNoPosition when there is none).
// kOk, or kFolderUnusable when it cannot be read.
int ReadFolderStructure(std::wstring_view text, std::wstring* folder, size_t* scanFrom);

struct ShortcutEntry {
  std::wstring displayName;
  std::wstring target;
  std::wstring arguments;                            // empty when absent or malformed
  std::wstring startDirectory;                       // may be empty
  std::optional<std::wstring> parentFolderOverride;  // absent, or a non-empty folder
  std::optional<std::wstring> iconLocation;          // as written, not yet expanded
  int iconIndex = -1;
};

struct ShortcutSection {
  int code = kShortcutSectionBad;  // kOk or kShortcutSectionBad
  ShortcutEntry entry;
  size_t next = kNoPosition;  // the following section, kNoPosition after the last
};

// Reads the first [Shortcut] section at or after from. With namesOnly only
// displayName is read (what deleting needs). The values are used as written,
// ".." parts included: the file is the caller's. The section is bad when
// there is none, when displayName, target or startDirectory cannot be read,
// when displayName is empty (a shortcut named ".lnk" is no shortcut), or
// when parentFolderOverride is malformed or too long or arguments too long.
ShortcutSection ReadShortcut(std::wstring_view text, size_t from, bool namesOnly);

}  // namespace linkforge
