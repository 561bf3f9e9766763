// linkforge's INI scan as -create and -deleteall run it: [Constants], then
// one [Shortcut] section after another until there is no next one.
#include <string>

#include "linkforge/src/shortcut_ini.h"
#include "support.h"

namespace {

void Scan(std::wstring_view text, std::size_t at, bool namesOnly) {
  while (at != linkforge::kNoPosition) {
    const linkforge::ShortcutSection s = linkforge::ReadShortcut(text, at, namesOnly);
    FUZZ_CHECK(s.next == linkforge::kNoPosition || (s.next > at && s.next < text.size()));
    if (s.code == linkforge::kOk) {
      const linkforge::ShortcutEntry& e = s.entry;
      FUZZ_CHECK(!e.displayName.empty());
      FUZZ_CHECK(e.displayName.size() < linkforge::kPathCapacity);
      FUZZ_CHECK(e.target.size() < linkforge::kPathCapacity);
      FUZZ_CHECK(e.arguments.size() < linkforge::kArgumentsCapacity);
      FUZZ_CHECK(!e.parentFolderOverride || !e.parentFolderOverride->empty());
      if (namesOnly) FUZZ_CHECK(e.target.empty() && e.iconIndex == -1);
    } else {
      FUZZ_CHECK(s.code == linkforge::kShortcutSectionBad);
    }
    at = s.next;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring input = fuzz::WideFromBytes(data, size);
  // The loaded text ends at the file's first zero.
  const std::wstring_view text = std::wstring_view(input).substr(0, input.find(L'\0'));
  linkforge::ReadForAllUsers(text);
  std::wstring folder;
  std::size_t at = 0;
  if (linkforge::ReadFolderStructure(text, &folder, &at) == linkforge::kOk) {
    FUZZ_CHECK(folder.size() < linkforge::kPathCapacity);
  } else {
    at = 0;  // scan every section all the same: more of the rules run
  }
  Scan(text, at, false);
  Scan(text, at, true);
  return 0;
}
