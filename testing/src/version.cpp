#include "wttest/version.h"

namespace wttest {

std::wstring VersionInfo::Get(const wchar_t* name) const {
  for (const auto& [key, value] : strings) {
    if (key == name) return value;
  }
  return L"<missing>";
}

VersionInfo ReadVersion(const std::wstring& path) {
  VersionInfo v;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
  if (size == 0) return v;
  std::vector<BYTE> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return v;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) ||
      length < sizeof *fixed) {
    return v;
  }
  v.present = true;
  v.fileMS = fixed->dwFileVersionMS;
  v.fileLS = fixed->dwFileVersionLS;
  v.productMS = fixed->dwProductVersionMS;
  v.productLS = fixed->dwProductVersionLS;
  v.fileType = fixed->dwFileType;
  for (const wchar_t* name :
       {L"FileDescription", L"FileVersion", L"InternalName", L"LegalCopyright", L"OriginalFilename",
        L"ProductName", L"ProductVersion"}) {
    wchar_t* text = nullptr;
    const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) &&
        text) {
      v.strings.emplace_back(name, std::wstring(text));
    }
  }
  return v;
}

}  // namespace wttest
