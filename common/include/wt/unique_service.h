// Owner of service control manager and service handles (CloseServiceHandle),
// in the manner of the owners in wt/unique.h.
#pragma once

#include <windows.h>

#include "wt/unique.h"

namespace wt {

struct ServiceHandleTraits {
  static SC_HANDLE Invalid() { return nullptr; }
  static bool IsValid(SC_HANDLE h) { return h != nullptr; }
  static void Close(SC_HANDLE h) { ::CloseServiceHandle(h); }
};
using UniqueServiceHandle = Unique<SC_HANDLE, ServiceHandleTraits>;

}  // namespace wt
