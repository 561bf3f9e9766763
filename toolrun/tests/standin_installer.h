// The RunTool operation outside an installation: the real platform table with
// the installer's calls replaced. For the demo host and the benchmark.
#pragma once

#include <string>

#include "platform.h"

namespace toolrun {

// The real table, whose MsiGetPropertyW answers data for CustomActionData,
// and whose messages go to onMessage (with the text of record field 1), or
// nowhere when it is null. One stand-in installer per process.
Platform StandInInstaller(std::wstring data,
                          void (*onMessage)(INSTALLMESSAGE type, const std::wstring& text));

}  // namespace toolrun
