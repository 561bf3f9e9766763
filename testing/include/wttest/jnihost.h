// A stand-in Java VM for the JNI libraries that keeps a VM's rules as checked
// JNI (-Xcheck:jni) holds them, and a loader that calls their exports by JNI
// name.
//
// Implemented: GetStringLength, GetStringChars, ReleaseStringChars, NewString,
// NewStringUTF, FindClass, NewObjectArray, SetObjectArrayElement,
// ExceptionCheck, ThrowNew, DeleteLocalRef, EnsureLocalCapacity,
// PushLocalFrame, PopLocalFrame. Every other slot of the function table
// records the call and aborts the process, so a library that reaches for
// anything else fails its test.
//
// Each thread has a JNIEnv of its own (env() on that thread), with its own
// pending exception and its own local reference frames. Recorded in Errors():
// an env or a local reference used on another thread than its own, a deleted
// reference or one whose frame has ended used, more live local references in
// a frame than its capacity (16 in a native method's frame unless the code
// asks for more; a test that calls an operation directly, outside
// JniLibrary::Call, is the caller's side, whose frame has no limit), and any
// JNI call but ExceptionCheck, ReleaseStringChars,
// DeleteLocalRef and PopLocalFrame made with an exception pending. Objects
// stay readable by the test (Text, StringArray) until the host is destroyed.
#pragma once

#include <jni.h>
#include <windows.h>

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <unordered_set>
#include <vector>

namespace wttest {

class JniHost {
 public:
  JniHost();
  ~JniHost();
  JniHost(const JniHost&) = delete;
  JniHost& operator=(const JniHost&) = delete;

  // The calling thread's JNIEnv (made on its first use).
  JNIEnv* env();
  // The function table env() points at. A test may replace entries with its
  // own that forward to the host's (see wttest/jnifault.h).
  JNINativeInterface_& functions() { return table_; }
  // The class reference the exports receive (unused by the libraries).
  jclass receiver() const { return receiver_; }

  // A Java string with exactly these UTF-16 code units (U+0000 allowed).
  jstring NewJavaString(const std::wstring& text);

  // The UTF-16 text of a string the host made or the library returned;
  // nullopt for null or an object that is no string of this host.
  std::optional<std::wstring> Text(jobject string) const;
  // The bytes a library handed to NewStringUTF for this string.
  std::optional<std::string> Utf(jobject string) const;
  // Elements of a String[] the library returned; a null element is nullopt.
  std::optional<std::vector<std::optional<std::wstring>>> StringArray(jobject array) const;
  // The class names FindClass was asked for, in order.
  std::vector<std::string> FoundClasses() const;

  // Makes GetStringChars of string fail as in a VM out of memory: it returns
  // null, with an OutOfMemoryError pending when throws (a VM may also return
  // null without one).
  void FailStringChars(jstring string, bool throws = true);
  // The class of the exception pending on the calling thread ("" for none),
  // and its clearing, as the Java caller's catch would.
  std::string PendingException();
  void ClearException();
  // Leaves an exception of className pending on env's thread.
  static void Throw(JNIEnv* env, const char* className);

  // Around a native method's call on the calling thread, as a VM does: a
  // frame of 16 local references, ended when the method returns; its result
  // stays a reference of the caller's.
  void EnterNative();
  void LeaveNative(jobject result);

  // GetStringChars results not yet handed back with ReleaseStringChars.
  int OutstandingChars() const;
  // How often GetStringChars was called in all, failed calls included.
  int CharsTaken() const;
  // Misuse seen: a release of characters never taken, a bad array index,
  // an object of the wrong kind. Empty when all was well.
  std::vector<std::string> Errors() const;

 private:
  struct Object;
  struct ThreadEnv;
  friend struct JniHostFunctions;
  Object* Add(Object object);
  Object* Find(jobject ref) const;
  void Error(std::string text);
  ThreadEnv& Current();  // the calling thread's, with mutex_ held

  JNINativeInterface_ table_{};
  std::map<DWORD, std::unique_ptr<ThreadEnv>> envs_;
  jclass receiver_ = nullptr;
  mutable std::mutex mutex_;
  std::deque<Object> objects_;
  std::unordered_set<const void*> valid_;
  std::map<const jchar*, Object*> outstanding_;
  std::vector<std::string> foundClasses_;
  std::vector<std::string> errors_;
  std::map<const void*, bool> failing_;  // string: whether its failure throws
  int charsTaken_ = 0;
};

// A JNI library loaded with LoadLibraryW; exports are found by their JNI
// names (Java_<package>_<class>_<method>).
class JniLibrary {
 public:
  JniLibrary(const std::wstring& path, std::string exportPrefix);
  ~JniLibrary();
  JniLibrary(const JniLibrary&) = delete;
  JniLibrary& operator=(const JniLibrary&) = delete;

  bool loaded() const { return module_ != nullptr; }
  DWORD loadError() const { return loadError_; }
  HMODULE module() const { return module_; }
  // Every name in the DLL's export table.
  std::vector<std::string> ExportNames() const;
  // The export of method, or null when the DLL has none by that name.
  FARPROC Find(const char* method) const;

  // Calls method with the host's env and receiver and the Java arguments.
  template <typename R, typename... Args>
  R Call(JniHost& host, const char* method, Args... args) const {
    using Fn = R(JNICALL*)(JNIEnv*, jclass, Args...);
    auto fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(Find(method)));
    if (!fn) throw std::runtime_error(std::string("no export for ") + method);
    host.EnterNative();
    R result = fn(host.env(), host.receiver(), args...);
    if constexpr (std::is_pointer_v<R>)
      host.LeaveNative(result);
    else
      host.LeaveNative(nullptr);
    return result;
  }

 private:
  HMODULE module_ = nullptr;
  DWORD loadError_ = 0;
  std::string prefix_;
};

}  // namespace wttest
