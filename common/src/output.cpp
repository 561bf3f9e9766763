#include "wt/output.h"

#include <io.h>
#include <windows.h>

#include <cwchar>
#include <vector>

namespace wt {
namespace {

// The code page the bytes are meant for: a console shows them in its output
// code page; a pipe or file gets the ANSI code page, as the runtime's own
// conversion would give it.
UINT CodePageFor(std::FILE* stream) {
  const intptr_t osfh = _get_osfhandle(_fileno(stream));
  DWORD mode = 0;
  if (osfh != -1 && GetConsoleMode(reinterpret_cast<HANDLE>(osfh), &mode)) {
    const UINT cp = GetConsoleOutputCP();
    if (cp != 0) return cp;
  }
  return CP_ACP;
}

}  // namespace

void WriteWide(std::FILE* stream, std::wstring_view text) {
  if (text.empty()) return;
  const UINT cp = CodePageFor(stream);
  // WC_NO_BEST_FIT_CHARS and a default character are not allowed for UTF-8
  // and a few other code pages; ask for them only where they apply.
  const bool plain = cp == CP_UTF8 || cp == CP_UTF7 || cp >= 50220;
  const DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
  const int wlen = static_cast<int>(text.size());
  const int need = WideCharToMultiByte(cp, flags, text.data(), wlen, nullptr, 0, nullptr, nullptr);
  if (need <= 0) return;
  std::vector<char> bytes(static_cast<size_t>(need));
  BOOL usedDefault = FALSE;
  WideCharToMultiByte(cp, flags, text.data(), wlen, bytes.data(), need, plain ? nullptr : "?",
                      plain ? nullptr : &usedDefault);
  // The stream is where a failure would be reported: a failed write is
  // ignored, and the exit code still tells the caller the outcome.
  (void)std::fwrite(bytes.data(), 1, bytes.size(), stream);
  (void)std::fflush(stream);
}

void WriteNarrow(std::FILE* stream, std::string_view text) {
  // As above: a failed write has nowhere to be reported.
  if (!text.empty()) (void)std::fwrite(text.data(), 1, text.size(), stream);
  (void)std::fflush(stream);
}

// Formatting goes through the C runtime's own formatter (_vscwprintf and
// _vsnwprintf), not mingw's C99 one that the standard names select in C++:
// %ls, %hs, %d and widths mean the same in both, and a program then carries
// one printf engine instead of two.
std::wstring VFormatW(const wchar_t* format, std::va_list args) {
  std::va_list copy;
  va_copy(copy, args);
  const int n = _vscwprintf(format, copy);
  va_end(copy);
  if (n <= 0) return std::wstring();
  std::wstring s(static_cast<size_t>(n) + 1, L'\0');
  _vsnwprintf(&s[0], s.size(), format, args);
  s.resize(static_cast<size_t>(n));
  return s;
}

std::wstring FormatW(const wchar_t* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::wstring s = VFormatW(format, args);
  va_end(args);
  return s;
}

std::string VFormatA(const char* format, std::va_list args) {
  std::va_list copy;
  va_copy(copy, args);
  const int n = _vscprintf(format, copy);
  va_end(copy);
  if (n <= 0) return std::string();
  std::string s(static_cast<size_t>(n) + 1, '\0');
  _vsnprintf(&s[0], s.size(), format, args);
  s.resize(static_cast<size_t>(n));
  return s;
}

std::string FormatA(const char* format, ...) {
  std::va_list args;
  va_start(args, format);
  std::string s = VFormatA(format, args);
  va_end(args);
  return s;
}

}  // namespace wt
