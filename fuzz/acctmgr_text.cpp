// acctmgr's text rules: the password line read from standard input, the
// ";"-separated toolkit search list, the one-line system text and the new
// toolkit search path (old value on the first line, installation root after).
#include <cwchar>
#include <string>
#include <string_view>
#include <vector>

#include "acctmgr/src/password_rules.h"
#include "support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::wstring text = fuzz::WideFromBytes(data, size);

  // The reader hands over a zero-terminated line; a zero inside ends it early.
  std::vector<wchar_t> line(text.begin(), text.end());
  line.push_back(L'\0');
  const std::wstring_view read(line.data());
  const std::size_t feed = read.rfind(L'\n');
  const std::size_t whole = read.size();
  acctmgr::CutAtLastLineFeed(line.data());
  FUZZ_CHECK(std::wcslen(line.data()) == (feed == std::wstring_view::npos ? whole : feed));

  // A visit that answers true (an element starting with "!") ends the walk.
  std::size_t seen = 0;
  const bool stopped = acctmgr::ForEachListElement(text, [&](std::wstring_view element) {
    FUZZ_CHECK(!element.empty() && element.find(L';') == std::wstring_view::npos);
    ++seen;
    return element[0] == L'!';
  });
  FUZZ_CHECK(seen <= text.size() && (!stopped || seen > 0));

  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::size_t kept = acctmgr::TrimSystemText(bytes);
  FUZZ_CHECK(kept == (size >= 2 && bytes[size - 2] == '.' ? size - 2 : size));

  const std::size_t split = text.find(L'\n');
  const std::wstring_view old = std::wstring_view(text).substr(0, split);
  const std::wstring_view root =
      split == std::wstring::npos ? std::wstring_view() : std::wstring_view(text).substr(split + 1);
  const std::size_t length = old.size() + (old.empty() ? 0 : 1) + root.size() + 12;
  const std::wstring fits = acctmgr::ComposeSearchPath(old, root, length + 1);
  FUZZ_CHECK(fits.size() == length && fits.compare(length - 12, 12, L"\\core\\tevext") == 0);
  FUZZ_CHECK(acctmgr::ComposeSearchPath(old, root, length).empty());
  acctmgr::ComposeSearchPath(old, root, 1024);
  return 0;
}
