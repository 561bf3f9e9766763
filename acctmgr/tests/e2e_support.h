// What the end-to-end tests expect on the program's streams.
#pragma once

#include <windows.h>

#include <string>

namespace acctmgr_test {

// Text as the program's stream carries it: the ANSI code page, line feeds
// doubled up by the text-mode translation.
inline std::string OnPipe(const std::wstring& text) {
  std::string bytes;
  if (!text.empty()) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    bytes.resize(static_cast<size_t>(n));
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &bytes[0], n,
                        nullptr, nullptr);
  }
  std::string out;
  for (char c : bytes) {
    if (c == '\n')
      out += "\r\n";
    else
      out.push_back(c);
  }
  return out;
}

// The closing line, as the program writes it.
inline std::string Closing(const std::wstring& program, int code) {
  return OnPipe(program + L" exiting with " + std::to_wstring(code) + L" exit code\r\n");
}

}  // namespace acctmgr_test
