// Fonts, the environment-change broadcast and the forced restart: changes to
// the running system, reported as 1 or 0.
#include "jnisupport/jnisupport.h"
#include "operations.h"

namespace hostprobe {

using jnisupport::JStringToWideText;
using jnisupport::WideText;

namespace {

constexpr int kMaxFontRemovals = 1000;
// EWX_REBOOT | EWX_FORCE: a restart that ends applications without asking.
constexpr UINT kRestartFlags = EWX_REBOOT | EWX_FORCE;
// SHTDN_REASON_FLAG_PLANNED | MAJOR_OPERATINGSYSTEM | MINOR_UPGRADE.
constexpr DWORD kRestartReason = 0x80020003;

// Makes a font call's removals and addition one step for the other font
// calls of this process: two registrations of one file cannot both add it,
// and an unregistration cannot slip between a registration's removals and its
// addition. The one state the library keeps; initialised statically, as the
// library has no load hook and starts no thread. Other processes' font calls
// are not held back.
SRWLOCK g_fontLock = SRWLOCK_INIT;

class FontLock {
 public:
  FontLock() { AcquireSRWLockExclusive(&g_fontLock); }
  ~FontLock() { ReleaseSRWLockExclusive(&g_fontLock); }
  FontLock(const FontLock&) = delete;
  FontLock& operator=(const FontLock&) = delete;
};

void AnnounceFontChange(const Platform& p) {
  // Asynchronous; nobody's answer matters.
  p.PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);
}

}  // namespace

int RemoveFontCompletely(const Platform& p, const wchar_t* path) {
  // A font file added n times stays until removed n times.
  for (int call = 0; call < kMaxFontRemovals; ++call) {
    if (!p.RemoveFontResourceW(path)) return 1;
  }
  return 0;
}

// Both font calls announce a font change in every case, a failure (a null
// or unconvertible path included) as well.
jint RegisterFont(const Platform& p, JNIEnv* env, jstring file) {
  WideText path = JStringToWideText(env, file);
  if (!path) {
    AnnounceFontChange(p);
    return 0;
  }
  jint result = 0;
  {
    FontLock lock;
    if (RemoveFontCompletely(p, path.get())) result = p.AddFontResourceW(path.get()) > 0 ? 1 : 0;
  }
  AnnounceFontChange(p);
  return result;
}

jint UnregisterFont(const Platform& p, JNIEnv* env, jstring file) {
  WideText path = JStringToWideText(env, file);
  if (!path) {
    AnnounceFontChange(p);
    return 0;
  }
  jint result = 0;
  {
    FontLock lock;
    result = RemoveFontCompletely(p, path.get());
  }
  AnnounceFontChange(p);
  return result;
}

jint RegisterEnvironmentChange(const Platform& p) {
  // Top-level windows answer 0 once they have taken the change in. Starting
  // from 1 means a broadcast that stores no answer is not taken for handled.
  DWORD_PTR answer = 1;
  static const char kEnvironment[] = "Environment";
  p.SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(kEnvironment),
                        SMTO_ABORTIFHUNG, 1000, &answer);
  return answer == 0 ? 1 : 0;
}

jint SystemShutdown(const Platform& p) {
  HANDLE token = nullptr;
  if (!p.OpenProcessToken(p.GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
    p.LogWarning("OpenProcessToken", "failed");
    return 0;
  }
  TOKEN_PRIVILEGES privileges{};
  p.LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid);
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  const BOOL adjusted = p.AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr);
  // AdjustTokenPrivileges succeeds also when it enabled nothing: only the
  // last error (1300 ERROR_NOT_ALL_ASSIGNED) tells that the account lacks
  // the privilege.
  const DWORD error = p.GetLastError();
  p.CloseHandle(token);
  if (!adjusted || error != ERROR_SUCCESS) {
    p.LogWarning("AdjustTokenPrivileges", "failed");
    return 0;
  }
  if (!p.ExitWindowsEx(kRestartFlags, kRestartReason)) {
    p.LogWarning("ExitWindowsEx", "failed");
    return 0;
  }
  // Requested; the restart itself comes after this call has returned.
  return 1;
}

}  // namespace hostprobe
