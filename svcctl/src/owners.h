// Owners for what the tools acquire through their Platform: a service or
// manager handle (CloseServiceHandle) and LocalAlloc memory (LocalFree).
// Released through the same Platform that handed them out, so a scripted
// platform sees every release, and on every path.
#pragma once

#include <utility>

#include "platform.h"

namespace svcctl {

class ServiceHandle {
 public:
  ServiceHandle(Platform& platform, SC_HANDLE handle) : platform_(&platform), handle_(handle) {}
  ~ServiceHandle() { reset(); }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;

  SC_HANDLE get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset() {
    if (handle_) platform_->CloseServiceHandle(std::exchange(handle_, nullptr));
  }

 private:
  Platform* platform_;
  SC_HANDLE handle_;
};

class LocalMemory {
 public:
  explicit LocalMemory(Platform& platform) : platform_(&platform) {}
  ~LocalMemory() { reset(); }
  LocalMemory(const LocalMemory&) = delete;
  LocalMemory& operator=(const LocalMemory&) = delete;

  void* get() const { return memory_; }
  // Takes ownership of memory, releasing what was held before.
  void reset(HLOCAL memory = nullptr) {
    HLOCAL old = std::exchange(memory_, memory);
    if (old) platform_->LocalFree(old);
  }

 private:
  Platform* platform_;
  HLOCAL memory_ = nullptr;
};

}  // namespace svcctl
