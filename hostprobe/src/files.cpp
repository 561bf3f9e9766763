// File operations for the deployment tool: a copy and a delete that reach
// the real (64-bit) system folder from a 32-bit process on 64-bit Windows, a
// move with Windows flags, short names and a write-lock probe.
#include <cstdint>

#include "jnisupport/jnisupport.h"
#include "lookup.h"
#include "operations.h"

namespace hostprobe {

using jnisupport::JStringToWideText;
using jnisupport::WideText;

namespace {

// Runs action with WOW64 file-system redirection switched off. Redirection is
// a per-thread setting, so only the calling thread is affected, and only
// until the revert.
//
// A 64-bit process sees the 64-bit system folder as its own: the action runs
// as it is and its real outcome is the result. In a 32-bit process where
// redirection cannot or need not be switched off (no WOW64, that is 32-bit
// Windows with no 64-bit system folder; no redirection functions) nothing is
// done and the result is 1.
template <typename Action>
jint WithoutRedirection(const Platform& p, Action action) {
  if constexpr (sizeof(void*) == 8) {
    return action() ? 1 : 0;
  }
  if (!IsRunningUnderWow64(p)) return 1;
  HMODULE kernel32 = p.GetModuleHandleA("kernel32.dll");
  if (!kernel32) return 1;
  auto disable = LookupKernel32<Wow64DisableFn>(p, kernel32, "Wow64DisableWow64FsRedirection");
  if (!disable) return 1;
  PVOID oldValue = nullptr;
  if (!disable(&oldValue)) return 0;
  jint result = action() ? 1 : 0;
  auto revert = LookupKernel32<Wow64RevertFn>(p, kernel32, "Wow64RevertWow64FsRedirection");
  // A failed revert is reported even after a successful action: the thread
  // is left with redirection off.
  if (revert && !revert(oldValue)) result = 0;
  return result;
}

}  // namespace

jint Copy64NoRedirect(const Platform& p, JNIEnv* env, jstring existing, jstring target) {
  WideText from = JStringToWideText(env, existing);
  // A string the VM could not hand over leaves an exception pending, and no
  // further JNI call may be made: the second is converted after the first.
  WideText to = from ? JStringToWideText(env, target) : WideText();
  if (!from || !to) return 0;
  // bFailIfExists 0: an existing target is replaced.
  return WithoutRedirection(p, [&] { return p.CopyFileW(from.get(), to.get(), FALSE) != FALSE; });
}

jint Delete64NoRedirect(const Platform& p, JNIEnv* env, jstring file) {
  WideText path = JStringToWideText(env, file);
  if (!path) return 0;
  return WithoutRedirection(p, [&] { return p.DeleteFileW(path.get()) != FALSE; });
}

jint MoveWithFlags(const Platform& p, JNIEnv* env, jstring existing, jstring target, jint flags) {
  WideText from = JStringToWideText(env, existing);
  WideText to = from ? JStringToWideText(env, target) : WideText();  // as for the copy
  if (!from || !to) return 0;
  // With the process's normal redirection; the flags word passes unchanged.
  return p.MoveFileExW(from.get(), to.get(), static_cast<DWORD>(flags)) ? 1 : 0;
}

jstring GetShortPath(const Platform& p, JNIEnv* env, jstring longPath) {
  WideText path = JStringToWideText(env, longPath);
  if (!path) return nullptr;
  // Characters needed, the terminating zero included.
  DWORD needed = p.GetShortPathNameW(path.get(), nullptr, 0);
  // The path can change between the size query and the call (a folder
  // renamed meanwhile): the call then reports a larger size instead of a
  // path. Ask once more with that size; a path that keeps changing is null.
  for (int attempt = 0; attempt < 2 && needed != 0; ++attempt) {
    if (needed >= UINT32_MAX / sizeof(wchar_t) - 1) return nullptr;
    WideText buffer(static_cast<wchar_t*>(std::malloc((needed + 1) * sizeof(wchar_t))));
    if (!buffer) return nullptr;
    const DWORD length = p.GetShortPathNameW(path.get(), buffer.get(), needed);
    if (length == 0) return nullptr;
    if (length < needed) {
      buffer.get()[length] = L'\0';
      return jnisupport::WideToJString(env, buffer.get());
    }
    needed = length;
  }
  return nullptr;
}

jint IsFileWriteLocked(const Platform& p, JNIEnv* env, jstring file) {
  WideText path = JStringToWideText(env, file);
  if (!path) return 0;
  // DELETE access with no sharing fails while anyone else has the file open
  // without FILE_SHARE_DELETE. The file is opened only, never changed.
  HANDLE handle = p.CreateFileW(path.get(), DELETE, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    const DWORD error = p.GetLastError();
    // Only a missing file is "not locked"; a missing folder (3), a refused
    // access (5) or a directory count as locked.
    return error == ERROR_FILE_NOT_FOUND ? 0 : 1;
  }
  p.CloseHandle(handle);
  return 0;
}

}  // namespace hostprobe
