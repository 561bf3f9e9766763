// linkforge's platform seam: every system call the operations make, as one
// table whose real entries are the system's own functions. Unit tests pass a
// table with scripted entries (a COM library that cannot start, a link
// object that cannot be made, an allocation or deletion that fails).
#pragma once

#include <shlobj.h>
#include <shlwapi.h>
#include <windows.h>

#include <string_view>

namespace linkforge {

struct Platform {
  // The INI file, read whole.
  decltype(&::CreateFileW) CreateFileW;
  decltype(&::GetFileSize) GetFileSize;
  decltype(&::ReadFile) ReadFile;
  decltype(&::CloseHandle) CloseHandle;
  decltype(&::LocalAlloc) LocalAlloc;
  decltype(&::LocalFree) LocalFree;
  decltype(&::MultiByteToWideChar) MultiByteToWideChar;
  // COM and the shell link object.
  decltype(&::CoInitialize) CoInitialize;
  decltype(&::CoUninitialize) CoUninitialize;
  decltype(&::CoCreateInstance) CoCreateInstance;
  // Folders and files.
  decltype(&::SHGetSpecialFolderPathW) SHGetSpecialFolderPathW;
  decltype(&::SHCreateDirectoryExW) SHCreateDirectoryExW;
  decltype(&::ExpandEnvironmentStringsW) ExpandEnvironmentStringsW;
  decltype(&::GetSystemDirectoryW) GetSystemDirectoryW;
  decltype(&::PathFileExistsW) PathFileExistsW;
  decltype(&::DeleteFileW) DeleteFileW;
  decltype(&::FindFirstFileW) FindFirstFileW;
  decltype(&::FindNextFileW) FindNextFileW;
  decltype(&::FindClose) FindClose;
  decltype(&::RemoveDirectoryW) RemoveDirectoryW;
  decltype(&::GetFileInformationByHandle) GetFileInformationByHandle;
  // Standard output (the text as the program formatted it).
  void (*Write)(std::wstring_view text);
};

// The real functions; Write goes to the C runtime's stdout.
const Platform& RealPlatform();

}  // namespace linkforge
