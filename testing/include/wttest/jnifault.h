// The JNI host's functions counted and failed like platform entries (see
// wttest/fault.h): a VM short of memory answers null from GetStringChars,
// NewString, NewStringUTF, FindClass and NewObjectArray, and a negative
// number from EnsureLocalCapacity and PushLocalFrame, with an
// OutOfMemoryError pending, which the host is told of. From then on the
// native method may only check for it, release (ReleaseStringChars,
// DeleteLocalRef, PopLocalFrame) and return: any other JNI call is recorded
// in State().callsWithException, and the sweep counts the run as a fault.
// GetStringLength, SetObjectArrayElement and ThrowNew have no failure
// result here.
#pragma once

#include "wttest/fault.h"
#include "wttest/jnihost.h"

namespace wttest::fault {

// An entry whose injected failure leaves an OutOfMemoryError pending in the
// host, as the VM's own failure would.
template <auto Member, typename Fn = typename MemberFunction<decltype(Member)>::type>
struct Raising;
template <auto Member, typename R, typename... A>
struct Raising<Member, R(JNICALL*)(JNIEnv*, A...)> {
  static inline R(JNICALL* inner)(JNIEnv*, A...) = nullptr;
  static R JNICALL Call(JNIEnv* env, A... a) {
    const int before = State().calls;
    R result = inner(env, a...);
    if (State().calls == before + 1 && State().calls == State().failAt)
      JniHost::Throw(env, "java/lang/OutOfMemoryError");
    return result;
  }
  static void Wrap(JNINativeInterface_& table) {
    inner = table.*Member;
    table.*Member = &Call;
  }
};

inline void CountJniCalls(JniHost& host) {
  using F = JNINativeInterface_;
  using T = FaultTable<F>;
  T t(host.functions());
  const DWORD memory = ERROR_NOT_ENOUGH_MEMORY;
  // The calls allowed with an exception pending are added as releases.
  t.Add<&F::GetStringChars>("GetStringChars", Fails::kByType, memory)
      .Add<&F::NewString>("NewString", Fails::kByType, memory)
      .Add<&F::NewStringUTF>("NewStringUTF", Fails::kByType, memory)
      .Add<&F::FindClass>("FindClass", Fails::kByType, memory)
      .Add<&F::NewObjectArray>("NewObjectArray", Fails::kByType, memory)
      .Add<&F::EnsureLocalCapacity>("EnsureLocalCapacity", Fails::kAllOnes, memory)
      .Add<&F::PushLocalFrame>("PushLocalFrame", Fails::kAllOnes, memory)
      .Add<&F::GetStringLength>("GetStringLength", Fails::kNever)
      .Add<&F::SetObjectArrayElement>("SetObjectArrayElement", Fails::kNever)
      .Add<&F::ThrowNew>("ThrowNew", Fails::kNever)
      .AddRelease<&F::ReleaseStringChars>("ReleaseStringChars", Fails::kNever)
      .AddRelease<&F::ExceptionCheck>("ExceptionCheck", Fails::kNever)
      .AddRelease<&F::DeleteLocalRef>("DeleteLocalRef", Fails::kNever)
      .AddRelease<&F::PopLocalFrame>("PopLocalFrame", Fails::kNever);
  for (EntryInfo* e : {&T::Info<&F::GetStringChars>(), &T::Info<&F::NewString>(),
                       &T::Info<&F::NewStringUTF>(), &T::Info<&F::FindClass>(),
                       &T::Info<&F::NewObjectArray>(), &T::Info<&F::EnsureLocalCapacity>(),
                       &T::Info<&F::PushLocalFrame>(), &T::Info<&F::GetStringLength>(),
                       &T::Info<&F::SetObjectArrayElement>(), &T::Info<&F::ThrowNew>(),
                       &T::Info<&F::ReleaseStringChars>(), &T::Info<&F::ExceptionCheck>(),
                       &T::Info<&F::DeleteLocalRef>(), &T::Info<&F::PopLocalFrame>()})
    e->jni = true;
  host.functions() = t.table();
  Raising<&F::GetStringChars>::Wrap(host.functions());
  Raising<&F::NewString>::Wrap(host.functions());
  Raising<&F::NewStringUTF>::Wrap(host.functions());
  Raising<&F::FindClass>::Wrap(host.functions());
  Raising<&F::NewObjectArray>::Wrap(host.functions());
  Raising<&F::EnsureLocalCapacity>::Wrap(host.functions());
  Raising<&F::PushLocalFrame>::Wrap(host.functions());
}

}  // namespace wttest::fault
