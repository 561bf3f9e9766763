#include "shortcut_ini.h"

namespace linkforge {
namespace {

constexpr std::wstring_view kConstants = L"[Constants]";
constexpr std::wstring_view kShortcut = L"[Shortcut]";

}  // namespace

bool ReadForAllUsers(std::wstring_view text) {
  const Lookup flag = FindKey(text, 0, kConstants, L"createForAllUsers", kFlagCapacity);
  return flag.result == kFound && EqualsIgnoringAsciiCase(flag.value, L"true");
}

int ReadFolderStructure(std::wstring_view text, std::wstring* folder, size_t* scanFrom) {
  Lookup found = FindKey(text, 0, kConstants, L"folderStructure", kPathCapacity);
  if (found.result != kFound) return kFolderUnusable;
  *folder = std::move(found.value);
  *scanFrom = found.next;
  return kOk;
}

ShortcutSection ReadShortcut(std::wstring_view text, size_t from, bool namesOnly) {
  ShortcutSection s;
  auto find = [&](std::wstring_view key, size_t capacity) {
    return FindKey(text, from, kShortcut, key, capacity);
  };
  Lookup name = find(L"displayName", kPathCapacity);
  s.next = name.next;
  if (name.result != kFound || name.value.empty()) return s;
  s.entry.displayName = std::move(name.value);
  if (!namesOnly) {
    Lookup folder = find(L"parentFolderOverride", kPathCapacity);
    if (folder.result == kMalformedLine || folder.result == kValueTooLong) return s;
    // An empty override would put the shortcut into the root of the current
    // drive; it means no override.
    if (folder.result == kFound && !folder.value.empty()) {
      s.entry.parentFolderOverride = std::move(folder.value);
    }
    Lookup target = find(L"target", kPathCapacity);
    if (target.result != kFound) return s;
    s.entry.target = std::move(target.value);
    Lookup arguments = find(L"arguments", kArgumentsCapacity);
    if (arguments.result == kValueTooLong) return s;
    if (arguments.result == kFound) s.entry.arguments = std::move(arguments.value);
    Lookup directory = find(L"startDirectory", kPathCapacity);
    if (directory.result != kFound) return s;
    s.entry.startDirectory = std::move(directory.value);
    Lookup icon = find(L"iconLocation", kPathCapacity);
    if (icon.result == kFound) s.entry.iconLocation = std::move(icon.value);
    const Lookup index = find(L"iconIndex", kIndexCapacity);
    if (index.result == kFound) s.entry.iconIndex = ParseDecimal(index.value);
  }
  s.code = kOk;
  return s;
}

}  // namespace linkforge
