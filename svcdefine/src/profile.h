// The INI file's "Service" section read through the platform's profile
// reader (GetPrivateProfileStringW / GetPrivateProfileIntW).
#pragma once

#include <string>

#include "definition.h"
#include "platform.h"

namespace svcdefine {

class PlatformProfile : public ProfileSource {
 public:
  // fullPath must already be a full path: the platform reader looks a bare
  // file name up in the Windows directory, not in the current one.
  PlatformProfile(const Platform& platform, std::wstring fullPath)
      : platform_(platform), path_(std::move(fullPath)) {}

  // Reads the value whole, however long: a value cut at a fixed buffer size
  // would become a different path, name or description.
  std::wstring ReadText(const wchar_t* key) const override;
  std::uint32_t ReadInteger(const wchar_t* key) const override;

 private:
  const Platform& platform_;
  std::wstring path_;
};

}  // namespace svcdefine
