// What the fuzz targets share: the input as text, and a property check.
//
// Fuzz bytes become the UTF-16 text the Windows build hands the logic.
// wchar_t is 4 bytes here and 2 on Windows. The bytes are read as lenient
// UTF-8 (so seeds stay readable text) and every character becomes the UTF-16
// units Windows would hold: code points above U+FFFF as surrogate pairs, and
// a byte that starts no valid sequence as the unit of the same value (as a
// single-byte code page converts it). No unit ever exceeds 0xFFFF, so the
// logic sees only what it can see on Windows; encoded surrogates pass as lone
// surrogate units, which Windows strings may hold.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace fuzz {

inline std::wstring WideFromBytes(const std::uint8_t* data, std::size_t size) {
  std::wstring out;
  out.reserve(size);
  std::size_t i = 0;
  while (i < size) {
    const std::uint32_t lead = data[i];
    const std::size_t length = lead < 0x80                   ? 1
                               : lead >= 0xC2 && lead < 0xE0 ? 2
                               : lead >= 0xE0 && lead < 0xF0 ? 3
                               : lead >= 0xF0 && lead < 0xF5 ? 4
                                                             : 1;
    std::uint32_t point = length == 1 ? lead : lead & (0x7Fu >> length);
    std::size_t k = 1;
    while (k < length && i + k < size && (data[i + k] & 0xC0) == 0x80) {
      point = (point << 6) | (data[i + k++] & 0x3Fu);
    }
    if (k < length || point > 0x10FFFF) {
      out.push_back(static_cast<wchar_t>(lead));  // a stray byte stands for itself
      ++i;
      continue;
    }
    i += length;
    if (point > 0xFFFF) {
      point -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (point >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (point & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(point));
    }
  }
  return out;
}

// The text's lines (split at "\n", a "\r" before it dropped), e.g. one
// command-line argument per line. An empty last line is not one.
inline std::vector<std::wstring> Lines(std::wstring_view text) {
  std::vector<std::wstring> lines;
  while (!text.empty()) {
    const std::size_t end = text.find(L'\n');
    std::wstring_view line = text.substr(0, end);
    if (!line.empty() && line.back() == L'\r') line.remove_suffix(1);
    lines.emplace_back(line);
    if (end == std::wstring_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace fuzz

// A broken property aborts, so libFuzzer saves the input like any crash.
#define FUZZ_CHECK(condition)                                                               \
  do {                                                                                      \
    if (!(condition)) {                                                                     \
      std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                         \
    }                                                                                       \
  } while (0)
