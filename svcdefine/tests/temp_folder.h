// A folder of its own under the temporary directory for a test's files,
// removed with its files at the end.
#pragma once

#include <windows.h>

#include <string>

#include "wttest/platform.h"

namespace svcdefine::testing {

class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH + 1];
    GetTempPathW(MAX_PATH + 1, temp);
    path_ = std::wstring(temp) + wttest::UniqueName(L"svcdefine_") + L"\\";
    CreateDirectoryW(path_.c_str(), nullptr);
  }
  ~TempFolder() {
    WIN32_FIND_DATAW data;
    HANDLE h = FindFirstFileW((path_ + L"*").c_str(), &data);
    if (h != INVALID_HANDLE_VALUE) {
      do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveDirectoryW((path_ + name).c_str());
        } else {
          DeleteFileW((path_ + name).c_str());
        }
      } while (FindNextFileW(h, &data));
      FindClose(h);
    }
    RemoveDirectoryW(path_.c_str());
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // Full path with a trailing backslash.
  const std::wstring& path() const { return path_; }

  // Writes bytes exactly; returns the file's full path.
  std::wstring Write(const std::wstring& name, const std::string& bytes) const {
    const std::wstring file = path_ + name;
    HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    if (h != INVALID_HANDLE_VALUE) {
      WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
      CloseHandle(h);
    }
    return file;
  }

  // Writes text as UTF-16LE with its byte-order mark.
  std::wstring WriteUtf16(const std::wstring& name, const std::wstring& text) const {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) {
      bytes.push_back(static_cast<char>(c & 0xFF));
      bytes.push_back(static_cast<char>((c >> 8) & 0xFF));
    }
    return Write(name, bytes);
  }

 private:
  std::wstring path_;
};

}  // namespace svcdefine::testing
