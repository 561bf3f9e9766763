// The Java-facing numbers of libRegKit and the text rules of its value reads.
// No Windows header: this compiles on any host, for fuzzing and sanitizers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace regkit {

// Handle values of the predefined root keys, as Windows defines them.
constexpr std::uint32_t kClassesRoot = 0x80000000u;
constexpr std::uint32_t kCurrentUser = 0x80000001u;
constexpr std::uint32_t kLocalMachine = 0x80000002u;
constexpr std::uint32_t kUsers = 0x80000003u;
constexpr std::uint32_t kCurrentConfig = 0x80000005u;

// Root code of the Java side to the handle value of its root key: 1, 2, 8 and
// 16 name HKEY_CLASSES_ROOT, HKEY_CURRENT_CONFIG, HKEY_LOCAL_MACHINE and
// HKEY_USERS; every other code, negative ones included, HKEY_CURRENT_USER.
std::uint32_t RootKeyValue(std::int32_t rootCode);

// Access masks: KEY_READ (0x20019) or KEY_WRITE (0x20006) with the view flag,
// KEY_WOW64_64KEY (0x0100) or KEY_WOW64_32KEY (0x0200).
constexpr std::uint32_t kView64 = 0x0100u;
constexpr std::uint32_t kView32 = 0x0200u;
constexpr std::uint32_t ViewFlag(bool view64) { return view64 ? kView64 : kView32; }
constexpr std::uint32_t ReadAccess(bool view64) { return 0x20019u | ViewFlag(view64); }
constexpr std::uint32_t WriteAccess(bool view64) { return 0x20006u | ViewFlag(view64); }

// Type code of the Java side (100 to 108) to the Windows value type; any
// other code is REG_SZ (1).
std::uint32_t RegTypeFromCode(std::int32_t typeCode);

// Turns the data of a text value into the text the Java side gets. units
// holds count UTF-16 units of data followed by at least one zero unit. With
// a separator other than 0, each zero unit of the data that is followed by a
// unit that is not zero becomes the separator, so the strings of a
// multi-string come out joined without a trailing separator. Returns the
// length of the text: the units before the first zero unit.
std::size_t JoinedTextLength(wchar_t* units, std::size_t count, wchar_t separator);

// True for a key path that names the root key itself: empty, or nothing but
// backslashes.
bool NamesRootItself(const wchar_t* path);

}  // namespace regkit
