// linkforge's own INI key lookup. It is not a general INI parser: its
// matching rules (plain substring searches, a section ending at the first
// line that starts with "[") decide which files are accepted, and callers'
// files depend on them. Pure text logic: no Windows header.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace linkforge {

enum LookupResult : int {
  kFound = 0,
  kNoSection = 100,      // the header text does not occur at or after the start
  kNoKey = 101,          // the key name does not occur within the section
  kMalformedLine = 102,  // no "=" within the section, or a line feed before it
  kValueTooLong = 103,   // the value does not fit capacity - 1 characters
};

constexpr size_t kNoPosition = std::wstring_view::npos;

struct Lookup {
  int result = kNoSection;
  std::wstring value;         // set only when result is kFound
  size_t next = kNoPosition;  // the following section's "[", or kNoPosition
};

// Looks key up in the first section whose header (e.g. "[Shortcut]") occurs
// at or after from, both compared without regard to ASCII case.
//  - The section runs from its header to the first "\n[" after the header's
//    first character (that "[" is handed back as next), else to the end.
//  - The key is the first occurrence of its name from the header on, even
//    inside a longer key or another line's value; the value follows the
//    first "=" after it and runs to the line feed or the end of the text.
//  - capacity counts the terminating zero of the caller's buffer: a value of
//    more than capacity - 1 characters, counted before its trailing white
//    space is removed, is kValueTooLong. Leading blanks are kept.
// Every search that finds nothing stops at the section end, so a scan over
// all sections of a text is linear in its length.
Lookup FindKey(std::wstring_view text, size_t from, std::wstring_view header, std::wstring_view key,
               size_t capacity);

// a equals b without regard to ASCII case.
bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b);

// A decimal integer as the C runtime's _wtoi reads it: leading white space,
// an optional sign, the digits up to the first other character; 0 when there
// are none; clamped to the 32-bit range.
int ParseDecimal(std::wstring_view text);

}  // namespace linkforge
