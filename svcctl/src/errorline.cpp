#include "errorline.h"

#include "wt/output.h"
#include "wt/owned.h"

namespace svcctl {

namespace {

// 0x13FF: allocate the buffer, ignore inserts, system table, and maximum
// line width 0xFF, which makes the system join the text into one line.
constexpr DWORD kFlags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                         FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_MAX_WIDTH_MASK;

}  // namespace

void ReportSystemError(const Platform& platform, const char* phrase, DWORD code) {
  char* text = nullptr;
  const DWORD length =
      platform.FormatMessageA(kFlags, nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  wt::Owned owner(platform.LocalFree, static_cast<HLOCAL>(text));
  const int signedCode = static_cast<int>(code);
  if (length != 0 && text != nullptr) {
    platform.WriteNarrow(wt::FormatA("%hs failed due to error %d:", phrase, signedCode) +
                         std::string(text, length));
  } else {
    platform.WriteNarrow(wt::FormatA("%hs failed due to error %d", phrase, signedCode));
  }
}

void ReportSystemErrorWide(const Platform& platform, const wchar_t* phrase, DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = platform.FormatMessageW(kFlags, nullptr, code, 0,
                                               reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  wt::Owned owner(platform.LocalFree, static_cast<HLOCAL>(text));
  const int signedCode = static_cast<int>(code);
  if (length != 0 && text != nullptr) {
    platform.WriteWide(wt::FormatW(L"%ls failed due to error %d:", phrase, signedCode) +
                       std::wstring(text, length));
  } else {
    platform.WriteWide(wt::FormatW(L"%ls failed due to error %d", phrase, signedCode));
  }
}

}  // namespace svcctl
