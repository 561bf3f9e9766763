// Prints what linkforge's key lookup costs per [Shortcut] section when it
// reads a file of 100, 1,000 and 10,000 sections the way -create does
// ([Constants], then every key of every section). A flat figure per section
// means the scan is linear in the file's size.
#include <chrono>
#include <cstdio>
#include <string>

#include "shortcut_ini.h"

namespace {

std::wstring Text(int sections) {
  std::wstring text =
      L"[Constants]\r\ncreateForAllUsers=true\r\nfolderStructure=Example Suite\\Tools\r\n";
  for (int i = 0; i < sections; ++i) {
    const std::wstring n = std::to_wstring(i);
    text += L"[Shortcut]\r\ndisplayName=Example Tool " + n + L"\r\ntarget=C:\\Apps\\Example\\tool" +
            n +
            L".exe\r\narguments=-config default\r\nstartDirectory=C:\\Apps\\Example\r\n"
            L"iconLocation=%SystemRoot%\\system32\\shell32.dll\r\niconIndex=12\r\n";
  }
  return text;
}

// One full read; returns the number of sections seen.
int ReadAll(const std::wstring& text) {
  std::wstring folder;
  size_t at = 0;
  linkforge::ReadForAllUsers(text);
  if (linkforge::ReadFolderStructure(text, &folder, &at) != 0) return 0;
  int seen = 0;
  for (;;) {
    const auto section = linkforge::ReadShortcut(text, at, false);
    if (section.code != 0) return seen;
    ++seen;
    if (section.next == linkforge::kNoPosition) return seen;
    at = section.next;
  }
}

}  // namespace

int wmain() {
  std::printf("%10s %10s %12s %14s\n", "sections", "text KiB", "read ms", "us per section");
  for (int sections : {100, 1000, 10000}) {
    const std::wstring text = Text(sections);
    using Clock = std::chrono::steady_clock;
    // Repeat small files so that every figure covers at least 200 ms.
    int rounds = 0;
    int seen = 0;
    const auto start = Clock::now();
    auto elapsed = Clock::duration::zero();
    do {
      seen = ReadAll(text);
      ++rounds;
      elapsed = Clock::now() - start;
    } while (elapsed < std::chrono::milliseconds(200));
    if (seen != sections) {
      std::printf("read %d sections of %d\n", seen, sections);
      return 1;
    }
    const double ms = std::chrono::duration<double, std::milli>(elapsed).count() / rounds;
    std::printf("%10d %10.1f %12.3f %14.3f\n", sections, text.size() * 2 / 1024.0, ms,
                ms * 1000.0 / sections);
  }
  return 0;
}
