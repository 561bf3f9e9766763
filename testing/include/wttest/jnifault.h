// The JNI host's functions counted and failed like platform entries (see
// wttest/fault.h): a VM short of memory answers null from GetStringChars,
// NewString, NewStringUTF, FindClass and NewObjectArray (with an
// OutOfMemoryError pending, which the libraries never look at).
// GetStringLength, ReleaseStringChars and SetObjectArrayElement have no
// failure result.
#pragma once

#include "wttest/fault.h"
#include "wttest/jnihost.h"

namespace wttest::fault {

inline void CountJniCalls(JniHost& host) {
  using F = JNINativeInterface_;
  FaultTable<F> t(host.functions());
  const DWORD memory = ERROR_NOT_ENOUGH_MEMORY;
  t.Add<&F::GetStringChars>("GetStringChars", Fails::kByType, memory)
      .Add<&F::NewString>("NewString", Fails::kByType, memory)
      .Add<&F::NewStringUTF>("NewStringUTF", Fails::kByType, memory)
      .Add<&F::FindClass>("FindClass", Fails::kByType, memory)
      .Add<&F::NewObjectArray>("NewObjectArray", Fails::kByType, memory);
  host.functions() = t.table();
}

}  // namespace wttest::fault
