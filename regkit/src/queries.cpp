// Value reads: as text, as joined multi-string, as a 32-bit number, and the
// value's type.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "codes.h"
#include "jnisupport/jnisupport.h"
#include "operations.h"
#include "say.h"
#include "wt/owned.h"

namespace regkit {

using jnisupport::JStringToWideText;
using jnisupport::WideText;

namespace {

// How often a value that grew after its size was taken is asked for again
// with the size Windows reported, before the read counts as failed.
constexpr int kReadAttempts = 3;

jstring EmptyString(JNIEnv* env) { return jnisupport::WideToJString(env, L""); }

}  // namespace

jstring getRegValue(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                    bool view64, wchar_t separator) {
  WideText keyPath = JStringToWideText(env, path);
  // A string the VM could not hand over leaves an exception pending, and no
  // further JNI call may be made: no second conversion, no "" made then.
  WideText valueName = keyPath ? JStringToWideText(env, name) : WideText();
  if (!keyPath || !valueName) {
    const bool pending = (path && !keyPath) || (keyPath && name && !valueName);
    return pending ? nullptr : EmptyString(env);
  }
  wt::Owned key(p.RegCloseKey, HKEY{});
  DWORD type = 0;
  DWORD size = 0;
  LONG result = p.RegOpenKeyExW(mapRootCode(root), keyPath.get(), 0, ReadAccess(view64), key.put());
  if (result == ERROR_SUCCESS)
    result = p.RegQueryValueExW(key.get(), valueName.get(), nullptr, &type, nullptr, &size);
  for (int attempt = 1; result == ERROR_SUCCESS; ++attempt) {
    // The data, rounded up to whole UTF-16 units, and two zero units: the
    // text ends inside the buffer even when the value carries no
    // terminating zero or an odd number of bytes, and the separator pass
    // never looks past the data.
    const std::uint64_t units = (std::uint64_t{size} + 1) / 2 + 2;
    std::unique_ptr<wchar_t, jnisupport::FreeDeleter> buffer;
    if (units <= SIZE_MAX / sizeof(wchar_t))
      buffer.reset(
          static_cast<wchar_t*>(std::calloc(static_cast<std::size_t>(units), sizeof(wchar_t))));
    if (!buffer) {
      Say(p, L"ERROR: getRegValue::calloc failed to locate memory for %ls:%ls\n", keyPath.get(),
          valueName.get());
      return EmptyString(env);
    }
    DWORD read = size;
    result = p.RegQueryValueExW(key.get(), valueName.get(), nullptr, &type,
                                reinterpret_cast<LPBYTE>(buffer.get()), &read);
    if (result == ERROR_MORE_DATA && attempt < kReadAttempts) {
      // Another writer made the value longer since its size was taken.
      size = read;
      result = ERROR_SUCCESS;
      continue;
    }
    if (result != ERROR_SUCCESS) break;
    // Only what Windows returned counts: a value that shrank meanwhile
    // leaves the rest of the buffer as zeros.
    if (read > size) read = size;
    std::memset(reinterpret_cast<char*>(buffer.get()) + read, 0,
                static_cast<std::size_t>(units * sizeof(wchar_t) - read));
    JoinedTextLength(buffer.get(), (std::size_t{read} + 1) / 2, separator);
    return jnisupport::WideToJString(env, buffer.get());
  }
  // One line for a key that does not open, a value that is missing, and a
  // read that fails: all name RegQueryValueExW.
  Say(p, L"INFO: getRegValue::RegQueryValueExW querying value for %ls:%ls returns %i\n",
      keyPath.get(), valueName.get(), static_cast<int>(result));
  return EmptyString(env);
}

jint getRegDwordValue(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                      bool view64) {
  WideText keyPath = JStringToWideText(env, path);
  WideText valueName = keyPath ? JStringToWideText(env, name) : WideText();  // see getRegValue
  if (!keyPath || !valueName) return 0;
  wt::Owned key(p.RegCloseKey, HKEY{});
  const LONG opened =
      p.RegOpenKeyExW(mapRootCode(root), keyPath.get(), 0, ReadAccess(view64), key.put());
  if (opened != ERROR_SUCCESS) {
    Say(p, L"ERROR: getRegDwordValue::RegOpenKeyExW for %ls:%ls returns %i\n", keyPath.get(),
        valueName.get(), static_cast<int>(opened));
    return 0;
  }
  // The type is not checked: data of up to 4 bytes come back as a
  // little-endian number, bytes not written staying 0.
  BYTE data[4] = {0, 0, 0, 0};
  DWORD size = sizeof data;
  DWORD type = 0;
  const LONG result = p.RegQueryValueExW(key.get(), valueName.get(), nullptr, &type, data, &size);
  if (result != ERROR_SUCCESS) {
    Say(p, L"INFO: getRegDwordValue::RegQueryValueExW for %ls:%ls returns %i\n", keyPath.get(),
        valueName.get(), static_cast<int>(result));
    // Longer data fail with ERROR_MORE_DATA and leave the buffer undefined:
    // 0, never what the failed read left there.
    return 0;
  }
  return static_cast<jint>(std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 |
                           std::uint32_t{data[2]} << 16 | std::uint32_t{data[3]} << 24);
}

jlong getRegType(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                 bool view64) {
  WideText keyPath = JStringToWideText(env, path);
  WideText valueName = keyPath ? JStringToWideText(env, name) : WideText();  // see getRegValue
  if (!keyPath || !valueName) return 0;
  wt::Owned key(p.RegCloseKey, HKEY{});
  if (p.RegOpenKeyExW(mapRootCode(root), keyPath.get(), 0, ReadAccess(view64), key.put()) !=
      ERROR_SUCCESS)
    return 0;
  // Without a data buffer Windows reports the type of a value of any size.
  DWORD type = 0;
  if (p.RegQueryValueExW(key.get(), valueName.get(), nullptr, &type, nullptr, nullptr) !=
      ERROR_SUCCESS)
    return 0;
  return static_cast<jlong>(type);  // upper 32 bits 0
}

}  // namespace regkit
