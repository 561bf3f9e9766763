// Value writes, value deletion, key deletion in a view, tree deletion.
#include <cstdint>
#include <cwchar>

#include "codes.h"
#include "jnisupport/jnisupport.h"
#include "operations.h"
#include "say.h"
#include "wt/owned.h"

namespace regkit {

using jnisupport::JStringToWideText;
using jnisupport::WideText;

jint setRegValue(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                 jstring data, jint typeCode, bool view64) {
  WideText keyPath = JStringToWideText(env, path);
  if (!keyPath) return 0;
  WideText valueName = JStringToWideText(env, name);
  if (!valueName) return 0;
  WideText text = JStringToWideText(env, data);
  if (!text) return 0;
  // The text with its terminating zero, in bytes.
  const std::size_t length = std::wcslen(text.get());
  if (length > (MAXDWORD - sizeof(wchar_t)) / sizeof(wchar_t)) return 0;
  // Bounded above; on x86 size_t and DWORD have one width, so nothing widens.
  // NOLINTNEXTLINE(bugprone-misplaced-widening-cast)
  const DWORD size = static_cast<DWORD>((length + 1) * sizeof(wchar_t));
  wt::Owned key(p.RegCloseKey, HKEY{});
  const LONG opened =
      p.RegOpenKeyExW(mapRootCode(root), keyPath.get(), 0, WriteAccess(view64), key.put());
  if (opened != ERROR_SUCCESS) {
    // The line names the value, not the key: so it always has.
    Say(p, L"INFO: setRegValue::RegOpenKeyExW %ls returns %i\n", valueName.get(),
        static_cast<int>(opened));
    return 0;
  }
  // Always UTF-16 text, whatever type the code labels it with.
  return p.RegSetValueExW(key.get(), valueName.get(), 0, RegTypeFromCode(typeCode),
                          reinterpret_cast<const BYTE*>(text.get()), size) == ERROR_SUCCESS
             ? 1
             : 0;
}

jint setRegDwordValue(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                      jint data, jint typeCode, bool view64) {
  WideText keyPath = JStringToWideText(env, path);
  if (!keyPath) return 0;
  WideText valueName = JStringToWideText(env, name);
  if (!valueName) return 0;
  wt::Owned key(p.RegCloseKey, HKEY{});
  if (p.RegOpenKeyExW(mapRootCode(root), keyPath.get(), 0, WriteAccess(view64), key.put()) !=
      ERROR_SUCCESS)
    return 0;
  // The Java int's 4 bytes in little-endian order, whatever the type says
  // (REG_DWORD_BIG_ENDIAN labels the same bytes without reordering them).
  const auto number = static_cast<std::uint32_t>(data);
  const BYTE bytes[4] = {static_cast<BYTE>(number), static_cast<BYTE>(number >> 8),
                         static_cast<BYTE>(number >> 16), static_cast<BYTE>(number >> 24)};
  return p.RegSetValueExW(key.get(), valueName.get(), 0, RegTypeFromCode(typeCode), bytes,
                          sizeof bytes) == ERROR_SUCCESS
             ? 1
             : 0;
}

jint DelRegkeyValue(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                    bool view64) {
  WideText keyPath = JStringToWideText(env, path);
  if (!keyPath) return 0;
  WideText valueName = JStringToWideText(env, name);
  if (!valueName) return 0;
  wt::Owned key(p.RegCloseKey, HKEY{});
  if (p.RegOpenKeyExW(mapRootCode(root), keyPath.get(), 0, WriteAccess(view64), key.put()) !=
      ERROR_SUCCESS)
    return 0;
  return p.RegDeleteValueW(key.get(), valueName.get()) == ERROR_SUCCESS ? 1 : 0;
}

jint deleteRegKey(const Platform& p, JNIEnv* env, jint root, jstring path, DeleteMode mode) {
  WideText keyPath = JStringToWideText(env, path);
  if (!keyPath) return 0;
  // Looked up on every call: 32-bit Windows XP and older lack it.
  // Without it the view-specific deletions fail (0); mode 0 does not need it.
  RegDeleteKeyExWFn deleteInView = nullptr;
  if (HMODULE advapi32 = p.GetModuleHandleA("Advapi32.dll")) {
    deleteInView = reinterpret_cast<RegDeleteKeyExWFn>(
        reinterpret_cast<void*>(p.GetProcAddress(advapi32, "RegDeleteKeyExW")));
  }
  const HKEY rootKey = mapRootCode(root);
  LONG result = ERROR_PROC_NOT_FOUND;
  // Both calls refuse a key that has subkeys; its values go with it.
  if (mode == kOwnView) {
    result = p.RegDeleteKeyW(rootKey, keyPath.get());
  } else if (deleteInView) {
    result = deleteInView(rootKey, keyPath.get(), ViewFlag(mode == kDelete64), 0);
  }
  return result == ERROR_SUCCESS ? 1 : 0;
}

jint DelRegTree(const Platform& p, JNIEnv* env, jint root, jstring path) {
  WideText keyPath = JStringToWideText(env, path);
  if (!keyPath) return 0;
  // SHDeleteKeyW on the root itself would empty the whole root (every key of
  // the user's profile, say) before failing to delete the root: refused.
  if (NamesRootItself(keyPath.get())) return 0;
  return p.SHDeleteKeyW(mapRootCode(root), keyPath.get()) == ERROR_SUCCESS ? 1 : 0;
}

}  // namespace regkit
