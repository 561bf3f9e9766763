// Functions looked up by name at run time: older Windows versions lack them,
// and the library must load there too.
#pragma once

#include "platform.h"

namespace hostprobe {

// The entry name of "kernel32.dll" as a typed pointer, or null when the
// module or the entry is missing.
template <typename Fn>
Fn LookupKernel32(const Platform& p, HMODULE kernel32, const char* name) {
  if (!kernel32) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(p.GetProcAddress(kernel32, name)));
}

}  // namespace hostprobe
