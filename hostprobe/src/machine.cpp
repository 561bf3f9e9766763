// Processor, memory and computer name: what this process is told.
#include <memory>

#include "jnisupport/jnisupport.h"
#include "operations.h"

namespace hostprobe {

namespace {

// GetSystemInfo, not the native variant: a WOW64 process reports the
// processor it is emulated for.
SYSTEM_INFO QuerySystemInfo(const Platform& p) {
  SYSTEM_INFO info{};
  p.GetSystemInfo(&info);
  return info;
}

}  // namespace

jint GetCPULevelWin(const Platform& p) { return QuerySystemInfo(p).wProcessorLevel; }

jint GetCPUModelWin(const Platform& p) { return QuerySystemInfo(p).wProcessorRevision >> 8; }

jint GetCPUSteppingWin(const Platform& p) { return QuerySystemInfo(p).wProcessorRevision & 0xFF; }

jint GetCPUNumWin(const Platform& p) {
  return static_cast<jint>(QuerySystemInfo(p).dwNumberOfProcessors);
}

jlong GetPhysicalMemory(const Platform& p) {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  static_assert(sizeof(MEMORYSTATUSEX) == 64, "MEMORYSTATUSEX size");
  // No memory size is known when the query fails: 0, never stack garbage.
  if (!p.GlobalMemoryStatusEx(&status)) return 0;
  return static_cast<jlong>(status.ullTotalPhys);
}

jstring WinGetComputerName(const Platform& p, JNIEnv* env) {
  constexpr DWORD kBufferBytes = 32768;
  std::unique_ptr<char, jnisupport::FreeDeleter> name(static_cast<char*>(std::malloc(kBufferBytes)));
  if (!name) return nullptr;
  DWORD size = 0x7FFF;
  if (!p.GetComputerNameA(name.get(), &size)) return nullptr;
  name.get()[size < kBufferBytes ? size : kBufferBytes - 1] = '\0';
  return jnisupport::NarrowToJString(env, name.get());
}

}  // namespace hostprobe
