// Root codes, key existence and key creation.
#include <cstdint>

#include "codes.h"
#include "jnisupport/jnisupport.h"
#include "operations.h"
#include "say.h"
#include "wt/owned.h"

namespace regkit {

using jnisupport::JStringToWideText;
using jnisupport::WideText;

HKEY mapRootCode(jint rootCode) {
  // Sign-extended on x64, as the predefined handles are.
  return reinterpret_cast<HKEY>(
      static_cast<std::intptr_t>(static_cast<std::int32_t>(RootKeyValue(rootCode))));
}

jint regKeyExists(const Platform& p, JNIEnv* env, jint root, jstring path, bool view64) {
  WideText keyPath = JStringToWideText(env, path);
  if (!keyPath) return 0;
  wt::Owned key(p.RegCloseKey, HKEY{});
  // Tells whether the key opens for reading in this view: a key that denies
  // reading counts as absent.
  return p.RegOpenKeyExW(mapRootCode(root), keyPath.get(), 0, ReadAccess(view64), key.put()) ==
                 ERROR_SUCCESS
             ? 1
             : 0;
}

jint CreateRegKey(const Platform& p, JNIEnv* env, jint root, jstring path, bool view64) {
  WideText keyPath = JStringToWideText(env, path);
  if (!keyPath) return 0;
  const HKEY rootKey = mapRootCode(root);
  const REGSAM access = WriteAccess(view64);
  wt::Owned key(p.RegCloseKey, HKEY{});
  const LONG opened = p.RegOpenKeyExW(rootKey, keyPath.get(), 0, access, key.put());
  if (opened == ERROR_SUCCESS) return 1;
  // Printed for every failed open, a missing key (2) included, although the
  // creation below then succeeds. The routine's name in this line has always
  // carried the stray "g"; callers match the line as it is.
  Say(p, L"INFO: CreateRegKey::RegOpenKeyExWg %ls returns %i\n", keyPath.get(),
      static_cast<int>(opened));
  // Any failure of the open leads to the creation, not only a missing key;
  // RegCreateKeyExW makes every missing level of the path.
  const LONG created =
      p.RegCreateKeyExW(rootKey, keyPath.get(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                        nullptr, key.put(), nullptr);
  if (created == ERROR_SUCCESS) return 1;
  Say(p, L"INFO: CreateRegKey::RegCreateKeyExW %ls returns %i\n", keyPath.get(),
      static_cast<int>(created));
  return 0;
}

}  // namespace regkit
