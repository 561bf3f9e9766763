// The JNI host's functions counted and failed like platform entries (see
// wttest/fault.h): a VM short of memory answers null from GetStringChars,
// NewString, NewStringUTF, FindClass and NewObjectArray, with an
// OutOfMemoryError pending. From then on the native method may only release
// (ReleaseStringChars) and return: any other JNI call is recorded in
// State().callsWithException, and the sweep counts the run as a fault.
// GetStringLength and SetObjectArrayElement have no failure result.
#pragma once

#include "wttest/fault.h"
#include "wttest/jnihost.h"

namespace wttest::fault {

inline void CountJniCalls(JniHost& host) {
  using F = JNINativeInterface_;
  using T = FaultTable<F>;
  T t(host.functions());
  const DWORD memory = ERROR_NOT_ENOUGH_MEMORY;
  t.Add<&F::GetStringChars>("GetStringChars", Fails::kByType, memory)
      .Add<&F::NewString>("NewString", Fails::kByType, memory)
      .Add<&F::NewStringUTF>("NewStringUTF", Fails::kByType, memory)
      .Add<&F::FindClass>("FindClass", Fails::kByType, memory)
      .Add<&F::NewObjectArray>("NewObjectArray", Fails::kByType, memory)
      .Add<&F::GetStringLength>("GetStringLength", Fails::kNever)
      .Add<&F::SetObjectArrayElement>("SetObjectArrayElement", Fails::kNever)
      .AddRelease<&F::ReleaseStringChars>("ReleaseStringChars", Fails::kNever);
  for (EntryInfo* e :
       {&T::Info<&F::GetStringChars>(), &T::Info<&F::NewString>(), &T::Info<&F::NewStringUTF>(),
        &T::Info<&F::FindClass>(), &T::Info<&F::NewObjectArray>(), &T::Info<&F::GetStringLength>(),
        &T::Info<&F::SetObjectArrayElement>(), &T::Info<&F::ReleaseStringChars>()})
    e->jni = true;
  host.functions() = t.table();
}

}  // namespace wttest::fault
