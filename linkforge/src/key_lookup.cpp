#include "key_lookup.h"

#include <climits>

namespace linkforge {
namespace {

// ASCII-only folding: the headers and keys are ASCII, and a locale's fold
// (the Kelvin sign, a dotted capital I) must not decide what a file means.
wchar_t Fold(wchar_t c) { return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c; }

bool IsTrailingSpace(wchar_t c) {
  return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f';
}

// First position p in [from, limit) where needle starts, ignoring ASCII case.
size_t FindFolded(std::wstring_view text, std::wstring_view needle, size_t from, size_t limit) {
  if (needle.empty() || needle.size() > text.size()) return kNoPosition;
  const size_t lastStart = text.size() - needle.size();
  if (limit > lastStart + 1) limit = lastStart + 1;
  for (size_t p = from; p < limit; ++p) {
    size_t i = 0;
    while (i < needle.size() && Fold(text[p + i]) == Fold(needle[i])) ++i;
    if (i == needle.size()) return p;
  }
  return kNoPosition;
}

// First position of c in [from, limit).
size_t FindChar(std::wstring_view text, wchar_t c, size_t from, size_t limit) {
  if (limit > text.size()) limit = text.size();
  for (size_t p = from; p < limit; ++p) {
    if (text[p] == c) return p;
  }
  return kNoPosition;
}

}  // namespace

Lookup FindKey(std::wstring_view text, size_t from, std::wstring_view header, std::wstring_view key,
               size_t capacity) {
  Lookup r;
  if (from >= text.size()) return r;
  const size_t start = FindFolded(text, header, from, text.size());
  if (start == kNoPosition) return r;

  size_t end = text.size();
  const size_t nextHeader = FindFolded(text, L"\n[", start + 1, text.size());
  if (nextHeader != kNoPosition) {
    end = nextHeader + 1;
    r.next = end;
  }

  const size_t at = FindFolded(text, key, start, end);
  if (at == kNoPosition) {
    r.result = kNoKey;
    return r;
  }
  const size_t equals = FindChar(text, L'=', at, end);
  if (equals == kNoPosition || FindChar(text, L'\n', at, equals) != kNoPosition) {
    r.result = kMalformedLine;
    return r;
  }
  const size_t valueStart = equals + 1;
  size_t valueEnd = FindChar(text, L'\n', valueStart, text.size());
  if (valueEnd == kNoPosition) valueEnd = text.size();
  if (capacity == 0 || valueEnd - valueStart > capacity - 1) {
    r.result = kValueTooLong;
    return r;
  }
  while (valueEnd > valueStart && IsTrailingSpace(text[valueEnd - 1])) --valueEnd;
  r.value.assign(text.substr(valueStart, valueEnd - valueStart));
  r.result = kFound;
  return r;
}

bool EqualsIgnoringAsciiCase(std::wstring_view a, std::wstring_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

int ParseDecimal(std::wstring_view text) {
  size_t i = 0;
  while (i < text.size() && IsTrailingSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  long long value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > 1LL + INT_MAX) value = 1LL + INT_MAX;  // saturated; stays in range below
  }
  if (negative) value = -value;
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

}  // namespace linkforge
