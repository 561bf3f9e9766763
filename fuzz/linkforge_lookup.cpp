// linkforge's key lookup. The first line is the query, "header|key|capacity|from"
// (e.g. "[Shortcut]|target|520|0"); the INI text follows it.
#include <string>
#include <string_view>
#include <vector>

#include "linkforge/src/key_lookup.h"
#include "support.h"

namespace {

std::size_t Number(std::wstring_view s) {
  std::size_t n = 0;
  for (wchar_t c : s) {
    if (c < L'0' || c > L'9') break;
    n = n > (1u << 30) ? n : n * 10 + static_cast<std::size_t>(c - L'0');
  }
  return n;
}

bool IsSpace(wchar_t c) { return c == L' ' || (c >= L'\t' && c <= L'\r'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring input = fuzz::WideFromBytes(data, size);
  const std::size_t feed = input.find(L'\n');
  const std::wstring_view text =
      feed == std::wstring::npos ? std::wstring_view() : std::wstring_view(input).substr(feed + 1);
  std::vector<std::wstring_view> query;
  for (std::wstring_view q = std::wstring_view(input).substr(0, feed); query.size() < 4;) {
    query.push_back(q.substr(0, q.find(L'|')));
    q.remove_prefix(q.find(L'|') == std::wstring_view::npos ? q.size() : q.find(L'|') + 1);
  }
  const std::wstring_view header = query[0], key = query[1];
  const std::size_t capacity = Number(query[2]), from = Number(query[3]);

  const linkforge::Lookup r = linkforge::FindKey(text, from, header, key, capacity);
  FUZZ_CHECK(r.result == linkforge::kFound || (r.result >= 100 && r.result <= 103));
  if (r.next != linkforge::kNoPosition) {
    FUZZ_CHECK(r.next > from && r.next < text.size());
    FUZZ_CHECK(text[r.next] == L'[' && text[r.next - 1] == L'\n');
  }
  if (r.result != linkforge::kFound) {
    FUZZ_CHECK(r.value.empty());
  } else {
    FUZZ_CHECK(capacity > 0 && r.value.size() <= capacity - 1);
    FUZZ_CHECK(r.value.find(L'\n') == std::wstring::npos);
    FUZZ_CHECK(r.value.empty() || !IsSpace(r.value.back()));
    FUZZ_CHECK(text.find(r.value) != std::wstring_view::npos);
    linkforge::ParseDecimal(r.value);
  }
  linkforge::ParseDecimal(text);
  FUZZ_CHECK(linkforge::EqualsIgnoringAsciiCase(header, key) ==
             linkforge::EqualsIgnoringAsciiCase(key, header));
  return 0;
}
