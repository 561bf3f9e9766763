// The toolkit loader's parts, as the decode (decode.cpp) puts them together:
// the installation lookup (installation.cpp), the library search
// (toolkit_search.cpp) and the toolkit session: boot, registration and
// shut-down (toolkit_session.cpp).
//
// What the program relies on of the toolkit and of its optional bridge
// library is declared in vqtoolkit.h.
#pragma once

#include <cstdint>
#include <string>

#include "operations.h"
#include "vqtoolkit.h"

namespace acctmgr {

constexpr uint32_t kSearchErrorBytes = 8192;

// Finds the installation root and puts its toolkit folder on VQPATH.
// Returns 0 or 210-214, its line already printed where it has one.
int LocateInstallation(Context& ctx);

// The whole value of a variable; false when it is unset or empty.
bool ReadVariable(const Platform& p, const wchar_t* name, std::wstring* value);

// One decode's hold on the toolkit: the boot record (which the toolkit may
// keep until it is shut down), the search's error text, and the bridge,
// which stays loaded while the toolkit it resolved for runs.
struct Session {
  explicit Session(const Platform& p) : bridge(p.FreeLibrary) {}
  VqBootRecord record{};
  char searchError[kSearchErrorBytes] = {};
  uint32_t searchCapacity = 0;
  wt::Owned<decltype(&::FreeLibrary)> bridge;
  HbxResolver* resolver = nullptr;  // only during the bridge's own search
  std::wstring libraryName;
};

// Finds the toolkit library: true with the record's boot entry, library and
// name filled, or false with the record's error text describing the last
// candidate that failed.
bool FindToolkit(const Platform& p, Session& s);

// Loads and boots the toolkit: the instance, or null with the reason in
// error (8-bit, its length stored in *capacity).
VqInstance* BootToolkit(const Platform& p, Session& s, char* error, uint32_t* capacity);

// The instance undoes its registration; the library it hands back is freed.
void ShutdownToolkit(const Platform& p, VqInstance* instance);

// The host interface the booted toolkit registered; null when none is.
VqHost* CurrentHost();

}  // namespace acctmgr
