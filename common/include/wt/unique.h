// One owner per resource, tied to its release function.
//
//   wt::UniqueHandle h(CreateFileW(...));      // CloseHandle
//   wt::UniqueKey key;  RegOpenKeyExW(..., key.put());
//
// Move-only; reset() releases, release() hands ownership out.
#pragma once

#include <windows.h>

#include <utility>

namespace wt {

template <typename T, typename Traits>
class Unique {
 public:
  Unique() noexcept = default;
  explicit Unique(T value) noexcept : value_(value) {}
  ~Unique() { reset(); }

  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;
  Unique(Unique&& other) noexcept : value_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  T get() const noexcept { return value_; }
  explicit operator bool() const noexcept { return Traits::IsValid(value_); }

  // Releases the held value and returns the slot, for out-parameters.
  T* put() noexcept {
    reset();
    return &value_;
  }

  T release() noexcept { return std::exchange(value_, Traits::Invalid()); }

  void reset(T value = Traits::Invalid()) noexcept {
    T old = std::exchange(value_, value);
    if (Traits::IsValid(old)) Traits::Close(old);
  }

 private:
  T value_ = Traits::Invalid();
};

struct HandleTraits {  // kernel handles where failure is NULL
  static HANDLE Invalid() { return nullptr; }
  static bool IsValid(HANDLE h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE h) { ::CloseHandle(h); }
};
using UniqueHandle = Unique<HANDLE, HandleTraits>;

struct KeyTraits {
  static HKEY Invalid() { return nullptr; }
  static bool IsValid(HKEY k) { return k != nullptr; }
  static void Close(HKEY k) { ::RegCloseKey(k); }
};
using UniqueKey = Unique<HKEY, KeyTraits>;

struct LocalTraits {  // LocalAlloc / FORMAT_MESSAGE_ALLOCATE_BUFFER
  static HLOCAL Invalid() { return nullptr; }
  static bool IsValid(HLOCAL p) { return p != nullptr; }
  static void Close(HLOCAL p) { ::LocalFree(p); }
};
using UniqueLocal = Unique<HLOCAL, LocalTraits>;

struct ModuleTraits {
  static HMODULE Invalid() { return nullptr; }
  static bool IsValid(HMODULE m) { return m != nullptr; }
  static void Close(HMODULE m) { ::FreeLibrary(m); }
};
using UniqueModule = Unique<HMODULE, ModuleTraits>;

}  // namespace wt
