#include "profile.h"

#include <vector>

namespace svcdefine {
namespace {

constexpr wchar_t kSection[] = L"Service";
constexpr DWORD kFirstBufferChars = 32768;
// Far beyond any real service value; keeps a runaway file from exhausting
// the 32-bit address space. A value this long is treated as absent.
constexpr DWORD kMaxBufferChars = 1u << 24;

}  // namespace

std::wstring PlatformProfile::ReadText(const wchar_t* key) const {
  std::vector<wchar_t> buffer(kFirstBufferChars);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = platform_.GetPrivateProfileStringW(kSection, key, L"", buffer.data(),
                                                            size, path_.c_str());
    // A value that does not fit comes back cut to size - 1 characters; only
    // a length below that proves the value was read whole.
    if (length < size - 1) return std::wstring(buffer.data(), length);
    if (size >= kMaxBufferChars) return std::wstring();
    buffer.assign(static_cast<size_t>(size) * 2, L'\0');
  }
}

std::uint32_t PlatformProfile::ReadInteger(const wchar_t* key) const {
  return platform_.GetPrivateProfileIntW(kSection, key, 0, path_.c_str());
}

}  // namespace svcdefine
