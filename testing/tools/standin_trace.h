// The trace of the toolkit stand-ins: when VQSTANDIN_TRACE names a file,
// every call they answer appends one line to it (UTF-8), so a test can see
// from outside what the program asked of them.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>

inline void StandinTrace(const std::wstring& line) {
  wchar_t path[MAX_PATH + 1];
  const DWORD n = GetEnvironmentVariableW(L"VQSTANDIN_TRACE", path, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return;
  HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::wstring text = line + L"\n";
  std::string bytes(text.size() * 4, '\0');
  bytes.resize(static_cast<size_t>(
      WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0],
                          static_cast<int>(bytes.size()), nullptr, nullptr)));
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

inline std::wstring StandinText(const char* text) {
  return text ? std::wstring(text, text + strlen(text)) : std::wstring(L"(null)");
}
