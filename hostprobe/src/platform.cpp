#include "platform.h"

#include <cstdlib>

#include "jnisupport/jnisupport.h"

namespace hostprobe {

namespace {

const char* RuntimeGetEnv(const char* name) { return std::getenv(name); }

// GetVersionExA is marked deprecated in newer SDKs; the library needs exactly
// what it reports to this process.
BOOL WINAPI RealGetVersionExA(LPOSVERSIONINFOA info) {
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)
#endif
  return ::GetVersionExA(info);
}

const Platform kReal = {
    &RealGetVersionExA,
    &::GetSystemInfo,
    &::GetModuleHandleA,
    &::GetProcAddress,
    &::GetCurrentProcess,
    &::GetLastError,
    &RuntimeGetEnv,
    &::GetSystemDirectoryA,
    &::GlobalMemoryStatusEx,
    &::GetComputerNameA,
    &::CopyFileW,
    &::DeleteFileW,
    &::MoveFileExW,
    &::GetShortPathNameW,
    &::CreateFileW,
    &::CloseHandle,
    &::AddFontResourceW,
    &::RemoveFontResourceW,
    &::PostMessageA,
    &::SendMessageTimeoutA,
    &::OpenProcessToken,
    &::LookupPrivilegeValueA,
    &::AdjustTokenPrivileges,
    &::ExitWindowsEx,
    &jnisupport::LogInfo,
    &jnisupport::LogWarning,
};

}  // namespace

const Platform& RealPlatform() { return kReal; }

}  // namespace hostprobe
