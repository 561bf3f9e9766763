// The key lookup and the shortcut scan over crafted texts: what a caller's
// file means to linkforge.
#include "key_lookup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codes.h"
#include "shortcut_ini.h"
#include "wttest/platform.h"

namespace linkforge {
namespace {

TEST(KeyLookup, MatchesByItsOwnRules) {
  const struct {
    const wchar_t* text;
    size_t capacity;
    int result;
    const wchar_t* value;
  } cases[] = {
      {L"[Shortcut]\ndisplayName=A\ntarget=B\n", 520, kFound, L"B"},         // LF
      {L"[Shortcut]\r\ntarget=B\r\nx=1\r\n", 520, kFound, L"B"},             // CRLF
      {L"[Shortcut]\ntarget=B \t \r\n", 520, kFound, L"B"},                  // trailing blanks
      {L"[Shortcut]\ntarget=  B\n", 520, kFound, L"  B"},                    // leading blanks kept
      {L"[Shortcut]\ntarget=B", 520, kFound, L"B"},                          // no final line break
      {L"[SHORTCUT]\r\nx=1\r\nTARGET=B\r\n", 520, kFound, L"B"},             // any case, any order
      {L"[Shortcut]\nmytarget=A\ntarget=B\n", 520, kFound, L"A"},            // inside a longer key
      {L"[Shortcut]\nname=a target\ntarget=B\n", 520, kMalformedLine, L""},  // inside a value
      {L"[Shortcut]\ntarget\n[Other]\nx=1\n", 520, kMalformedLine, L""},     // "=" past the end
      {L"[Shortcut]\nx=1\n[Other]\ntarget=B\n", 520, kNoKey, L""},           // in a later section
      {L"[Shortcut]\nx=[a]\ntarget=B\n", 520, kFound, L"B"},                 // "[" within a line
      {L"[Constants]\ntarget=B\n", 520, kNoSection, L""},
      {L"[Shortcut]\ntarget=abcd\n", 5, kFound, L"abcd"},       // at its limit
      {L"[Shortcut]\ntarget=abcde\n", 5, kValueTooLong, L""},   // one over
      {L"[Shortcut]\ntarget=abcd\r\n", 5, kValueTooLong, L""},  // the CR counts
  };
  for (const auto& c : cases) {
    const Lookup r = FindKey(c.text, 0, L"[Shortcut]", L"target", c.capacity);
    EXPECT_EQ(r.result, c.result) << wttest::Narrow(c.text);
    EXPECT_EQ(r.value, c.value) << wttest::Narrow(c.text);
  }
}

// The names a -deleteall run reads, and how the run ends.
std::pair<std::vector<std::wstring>, int> Scan(const std::wstring& text) {
  std::vector<std::wstring> names;
  std::wstring folder;
  size_t at = 0;
  int code = ReadFolderStructure(text, &folder, &at);
  while (code == kOk) {
    const ShortcutSection section = ReadShortcut(text, at, true);
    code = section.code;
    if (code == kOk) names.push_back(section.entry.displayName);
    if (code != kOk || section.next == kNoPosition) break;
    at = section.next;
  }
  return {names, code};
}

TEST(ShortcutScan, EndsAsTheSectionsSay) {
  const std::wstring k = L"[Constants]\nfolderStructure=F\\G\n", a = L"[Shortcut]\ndisplayName=A\n";
  const struct {
    std::wstring text;
    std::vector<std::wstring> names;
    int code;
  } cases[] = {
      {k + a + L"[Other]\n[Shortcut]\ndisplayName=B", {L"A", L"B"}, kOk},
      {k, {}, kShortcutSectionBad},                              // no shortcut sections
      {k + a + L"[Other]\nx=1\n", {L"A"}, kShortcutSectionBad},  // another section last
      {a + k, {}, kShortcutSectionBad},                          // shortcuts before [Constants]
      {k + a + L"[Shortcut]\ntarget=B\n", {L"A"}, kShortcutSectionBad},
      {k + L"[Shortcut]\ndisplayName=\n", {}, kShortcutSectionBad},
      {k + L"[Shortcut]\ndisplayName=..\\x\n", {L"..\\x"}, kOk},  // used as given
      {a, {}, kFolderUnusable},
      {L"[Constants]\nfolderStructure=A\\..\\..\\B\n" + a, {L"A"}, kOk},
      {L"[Constants]\nfolderStructure=A/.. .\n" + a, {L"A"}, kOk},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Scan(c.text), std::make_pair(c.names, c.code)) << wttest::Narrow(c.text);
  }
  EXPECT_TRUE(ReadForAllUsers(L"[Constants]\ncreateForAllUsers=True \r\n"));
  EXPECT_FALSE(ReadForAllUsers(L"[Constants]\ncreateForAllUsers=yes\r\n"));
}

}  // namespace
}  // namespace linkforge
