// Facts about the machine the tests run on.
#pragma once

#include <string>

namespace wttest {

// True under Wine (ntdll exports wine_get_version). Tests assert what Windows
// does; an assertion that only Windows satisfies is skipped under Wine and
// the Windows behaviour is covered through the scripted platform instead.
bool RunningUnderWine();

// A name unique to this process and call, for services, keys and files that a
// test creates: prefix + process id + counter.
std::wstring UniqueName(const std::wstring& prefix);

// The handles this process holds: GetProcessHandleCount, or, where that
// answers 0 without counting (Wine), this process's entries in the system's
// handle table. 0 when neither can be had.
unsigned long ProcessHandleCount();

// UTF-16 to UTF-8 and back, for readable assertions.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);

}  // namespace wttest

#define WT_SKIP_UNDER_WINE(why)                            \
  do {                                                     \
    if (::wttest::RunningUnderWine()) GTEST_SKIP() << why; \
  } while (0)
