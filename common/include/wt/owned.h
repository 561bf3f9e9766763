// The one owner of a handle, key or block: it holds the value together with
// the function that releases it, and calls that function once, on every path.
//
// The release function is any single-argument Win32-style entry: the real
// API or an entry of a subsystem's platform table. An owner made from a table
// entry releases through the table, so a scripted platform sees (and counts)
// every release.
//
//   wt::Owned key(p.RegCloseKey, HKEY{});          // a table's entry
//   p.RegOpenKeyExW(root, path, 0, KEY_READ, key.put());
//   wt::Owned file(::CloseHandle, CreateFileW(...)); // the real API
//
// Move-only; reset() releases, release() hands ownership out. Null and, for
// handles, INVALID_HANDLE_VALUE mean "nothing held".
#pragma once

#include <windows.h>

#include <type_traits>
#include <utility>

namespace wt {

template <typename Release>
class Owned;

template <typename R, typename T>
class Owned<R(WINAPI*)(T)> {
 public:
  using Release = R(WINAPI*)(T);

  explicit Owned(Release release, T value = T{}) noexcept : release_(release), value_(value) {}
  ~Owned() { reset(); }

  Owned(const Owned&) = delete;
  Owned& operator=(const Owned&) = delete;
  Owned(Owned&& other) noexcept : release_(other.release_), value_(other.release()) {}
  Owned& operator=(Owned&& other) noexcept {
    if (this != &other) {
      reset(other.release());
      release_ = other.release_;
    }
    return *this;
  }

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return Valid(value_); }

  // Releases what is held and returns the slot, for out-parameters.
  T* put() noexcept {
    reset();
    return &value_;
  }

  T release() noexcept { return std::exchange(value_, T{}); }

  void reset(T value = T{}) noexcept {
    T old = std::exchange(value_, value);
    if (Valid(old)) release_(old);
  }

 private:
  static bool Valid(T value) noexcept {
    if constexpr (std::is_pointer_v<T>) {
      return value != nullptr && value != reinterpret_cast<T>(INVALID_HANDLE_VALUE);
    } else {
      return value != T{};
    }
  }

  Release release_;
  T value_;
};

template <typename R, typename T>
Owned(R(WINAPI*)(T), T) -> Owned<R(WINAPI*)(T)>;
template <typename R, typename T>
Owned(R(WINAPI*)(T)) -> Owned<R(WINAPI*)(T)>;

// Owners released through the real API, for code without a platform table.
using OwnedHandle = Owned<decltype(&::CloseHandle)>;
using OwnedKey = Owned<decltype(&::RegCloseKey)>;
using OwnedLocal = Owned<decltype(&::LocalFree)>;
using OwnedModule = Owned<decltype(&::FreeLibrary)>;
using OwnedServiceHandle = Owned<decltype(&::CloseServiceHandle)>;

}  // namespace wt
