// The platform's text for a Win32 error code.
#pragma once

#include <windows.h>

#include <string>

namespace wt {

// FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS)
// of code in the user's default language, unchanged (trailing line break
// included). Empty when the system has no text for the code.
std::wstring SystemMessageW(DWORD code);

// The same through FormatMessageA.
std::string SystemMessageA(DWORD code);

}  // namespace wt
