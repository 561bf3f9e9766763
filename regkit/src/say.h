// The message lines of libRegKit ("INFO: ..." / "ERROR: ..."), written on
// standard output as they happen. No timestamp line, unlike libHostProbe's
// log.
#pragma once

#include "platform.h"

namespace regkit {

// Formats with the runtime's wide printf family (%ls for the wide texts, %i
// and %u for error codes) and writes the line through the table.
void Say(const Platform& p, const wchar_t* format, ...);

}  // namespace regkit
