#include "wt/syserror.h"

#include "wt/owned.h"

namespace wt {

std::wstring SystemMessageW(DWORD code) {
  wchar_t* text = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text),
      0, nullptr);
  wt::Owned owner(::LocalFree, static_cast<HLOCAL>(text));
  return length ? std::wstring(text, length) : std::wstring();
}

std::string SystemMessageA(DWORD code) {
  char* text = nullptr;
  const DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_ALLOCATE_BUFFER,
      nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&text), 0,
      nullptr);
  wt::Owned owner(::LocalFree, static_cast<HLOCAL>(text));
  return length ? std::string(text, length) : std::string();
}

}  // namespace wt
