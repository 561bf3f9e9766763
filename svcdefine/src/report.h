// How svcdefine prints: catalogue messages from its string table and the
// error report (message, then the platform's text of the failing call's code).
#pragma once

#include <windows.h>

#include <string>

#include "platform.h"

namespace svcdefine {

// The text of a catalogue id from the string table (language 1033) of the
// running program, as LoadStringW copies it into a 2048-character buffer.
std::wstring CatalogueText(int id);

// The catalogue text of id and a line feed.
void PrintMessage(const Platform& platform, int id);

// PrintMessage(id), then the system's text for code exactly as FormatMessageW
// gives it (it ends with its own line break); nothing more when the system
// has no text for the code.
void PrintErrorReport(const Platform& platform, int id, DWORD code);

}  // namespace svcdefine
