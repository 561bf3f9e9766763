// Listing the value names and the subkey names of a key as Java String[].
#include <cstdint>

#include "codes.h"
#include "jnisupport/jnisupport.h"
#include "operations.h"
#include "say.h"
#include "wt/owned.h"

namespace regkit {

using jnisupport::JStringToWideText;
using jnisupport::WideText;

namespace {

// Windows' limits, each with its terminating zero: 16,383 characters for a
// value name, 255 for a key name.
constexpr DWORD kValueNameUnits = 16384;
constexpr DWORD kKeyNameUnits = 256;

// Fills element index with name, its local reference deleted once stored.
// False when the VM could not make the string: it then has an
// OutOfMemoryError pending, and no further JNI call may be made but to
// return.
bool Store(JNIEnv* env, jobjectArray array, DWORD index, const wchar_t* name) {
  return jnisupport::SetStringElement(env, array, static_cast<jsize>(index),
                                      jnisupport::WideToJString(env, name));
}

// Counts with the ANSI query: only the numbers are used, which do not depend
// on the character width.
LONG Count(const Platform& p, HKEY key, DWORD* subkeys, DWORD* values) {
  return p.RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, subkeys, nullptr, nullptr, values,
                            nullptr, nullptr, nullptr, nullptr);
}

}  // namespace

jobjectArray valuesForKey(const Platform& p, JNIEnv* env, jint root, jstring path, bool view64) {
  WideText keyPath = JStringToWideText(env, path);
  if (!keyPath) return nullptr;
  wt::Owned key(p.RegCloseKey, HKEY{});
  // Silent on failure, unlike childrenForKey.
  if (p.RegOpenKeyExW(mapRootCode(root), keyPath.get(), 0, ReadAccess(view64), key.put()) !=
      ERROR_SUCCESS)
    return nullptr;
  DWORD count = 0;
  if (Count(p, key.get(), nullptr, &count) != ERROR_SUCCESS) return nullptr;
  if (count > static_cast<DWORD>(INT32_MAX)) return nullptr;
  jobjectArray names = jnisupport::NewJavaStringArray(env, static_cast<jsize>(count));
  if (!names) return nullptr;
  // Value names are read wide and passed on exactly: names outside ASCII
  // arrive in Java as they are stored.
  wchar_t name[kValueNameUnits];
  // The count is a snapshot: an index that no longer exists (entries removed
  // meanwhile give ERROR_NO_MORE_ITEMS) leaves its element null, and the
  // loop goes on.
  for (DWORD i = 0; i < count; ++i) {
    DWORD length = kValueNameUnits;
    if (p.RegEnumValueW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      continue;
    name[length < kValueNameUnits ? length : kValueNameUnits - 1] = L'\0';
    if (!Store(env, names, i, name)) return nullptr;
  }
  return names;
}

jobjectArray childrenForKey(const Platform& p, JNIEnv* env, jint root, jstring path, bool view64) {
  WideText keyPath = JStringToWideText(env, path);
  if (!keyPath) return nullptr;
  wt::Owned key(p.RegCloseKey, HKEY{});
  const LONG opened =
      p.RegOpenKeyExW(mapRootCode(root), keyPath.get(), 0, ReadAccess(view64), key.put());
  if (opened != ERROR_SUCCESS) {
    Say(p, L"INFO: childrenForKey::RegOpenKeyExW opening key %ls returns %u\n", keyPath.get(),
        static_cast<unsigned>(opened));
    return nullptr;
  }
  DWORD count = 0;
  const LONG counted = Count(p, key.get(), &count, nullptr);
  if (counted != ERROR_SUCCESS) {
    // Two spaces after the full stop, as callers have always seen it.
    Say(p, L"INFO: childrenForKey::RegQueryInfoKey querying for key.  Error code %u\n",
        static_cast<unsigned>(counted));
    return nullptr;
  }
  if (count > static_cast<DWORD>(INT32_MAX)) return nullptr;
  jobjectArray names = jnisupport::NewJavaStringArray(env, static_cast<jsize>(count));
  if (!names) return nullptr;
  wchar_t name[kKeyNameUnits];
  for (DWORD i = 0; i < count; ++i) {
    DWORD length = kKeyNameUnits;
    if (p.RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      continue;
    name[length < kKeyNameUnits ? length : kKeyNameUnits - 1] = L'\0';
    if (!Store(env, names, i, name)) return nullptr;
  }
  return names;
}

}  // namespace regkit
