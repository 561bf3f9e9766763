// Text output of the console programs.
//
// Programs format their text as UTF-16 and hand it to WriteWide, which
// converts it whole to the code page of the stream's destination (the
// console's output code page, else the ANSI code page) and writes the bytes
// through the C runtime stream. The streams stay in the runtime's text mode,
// so each "\n" goes out as "\r\n" exactly as a plain printf would write it.
// A character the code page lacks becomes '?' instead of ending the output,
// which is what the runtime's own wide printf does with it.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>

namespace wt {

// Writes text to stream (stdout or stderr) and flushes it.
void WriteWide(std::FILE* stream, std::wstring_view text);

// Writes 8-bit text unchanged to stream and flushes it.
void WriteNarrow(std::FILE* stream, std::string_view text);

// printf-style formatting into a string of any length. Use %ls for wide and
// %hs for narrow string arguments: they mean the same in every runtime mode.
std::wstring FormatW(const wchar_t* format, ...);
std::wstring VFormatW(const wchar_t* format, std::va_list args);
std::string FormatA(const char* format, ...);
std::string VFormatA(const char* format, std::va_list args);

}  // namespace wt
