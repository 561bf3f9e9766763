// The toolkit session: the boot of the library the search found, the
// registration of the toolkit's host interface while it runs, and the
// shut-down.
#include <cstring>

#include "toolkit.h"

namespace acctmgr {
namespace {

// Registration state. The toolkit registers its host interface while it
// boots and undoes that when it shuts down; registrations nest, and the
// interface current before the first one comes back after the last.
VqHost* g_currentHost = nullptr;
int g_hostNesting = 0;
VqHost* g_savedHost = nullptr;

int VQCALL RegisterHost(VqHost* host) {
  if (host != nullptr) {
    if (g_hostNesting == 0) g_savedHost = g_currentHost;
    g_currentHost = host;
    ++g_hostNesting;
  } else if (g_hostNesting > 0) {
    if (--g_hostNesting == 0) g_currentHost = g_savedHost;
  }
  return 0;
}

// Copies text into the caller's error buffer, cut to capacity - 1
// characters, and stores the length back.
void GiveError(char* error, uint32_t* capacity, const char* text) {
  if (*capacity == 0) return;
  const size_t length = strnlen(text, *capacity - 1);
  std::memcpy(error, text, length);
  error[length] = '\0';
  *capacity = static_cast<uint32_t>(length);
}

}  // namespace

VqHost* CurrentHost() { return g_currentHost; }

VqInstance* BootToolkit(const Platform& p, Session& s, char* error, uint32_t* capacity) {
  VqBootFields& f = s.record.fields;
  f.errorText = s.searchError;
  f.errorCapacity = kSearchErrorBytes;

  // The boot's working block comes first, so memory running out is told
  // before any library is loaded.
  OwnedBlock work(p.LocalFree, p.LocalAlloc(LPTR, 48));
  if (!work) {
    GiveError(error, capacity, "vqBoot Failure: Malloc Failure boot options");
    return nullptr;
  }
  if (!FindToolkit(p, s)) {
    GiveError(error, capacity, s.searchError);
    return nullptr;
  }
  VqInstance* instance = f.bootEntry(0, nullptr, error, capacity, &s.record, RegisterHost, 0, 0);
  if (instance == nullptr) {
    p.FreeLibrary(static_cast<HMODULE>(f.library));
    f.library = nullptr;
  }
  return instance;
}

void ShutdownToolkit(const Platform& p, VqInstance* instance) {
  void* library = nullptr;
  instance->ops->shutdown(instance, RegisterHost, &library);
  if (library != nullptr) p.FreeLibrary(static_cast<HMODULE>(library));
}

}  // namespace acctmgr
