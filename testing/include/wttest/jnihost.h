// A stand-in Java VM for the JNI libraries: a JNIEnv that implements exactly
// the JNI functions the libraries use, and a loader that calls their exports
// by JNI name.
//
// Implemented: GetStringLength, GetStringChars, ReleaseStringChars, NewString,
// NewStringUTF, FindClass, NewObjectArray, SetObjectArrayElement. Every other
// slot of the function table records the call and aborts the process, so a
// library that reaches for anything else fails its test. Objects live until
// the host is destroyed (the libraries never delete local references). The
// host is safe to use from several threads at once.
#pragma once

#include <jni.h>
#include <windows.h>

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

namespace wttest {

class JniHost {
 public:
  JniHost();
  ~JniHost();
  JniHost(const JniHost&) = delete;
  JniHost& operator=(const JniHost&) = delete;

  JNIEnv* env() { return &env_.env; }
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
  // null and leaves an OutOfMemoryError pending. JNI forbids further calls
  // but a few (ReleaseStringChars among them) until the exception is
  // cleared: each one the library makes is recorded in Errors().
  void FailStringChars(jstring string);
  // Clears the pending exception, as the Java caller's catch would.
  void ClearException();

  // GetStringChars results not yet handed back with ReleaseStringChars.
  int OutstandingChars() const;
  // How often GetStringChars was called in all, failed calls included.
  int CharsTaken() const;
  // Misuse seen: a release of characters never taken, a bad array index,
  // an object of the wrong kind. Empty when all was well.
  std::vector<std::string> Errors() const;

 private:
  struct Object;
  friend struct JniHostFunctions;
  Object* Add(Object object);
  Object* Find(jobject ref) const;
  void Error(std::string text);

  // The env the libraries get, with the way back to its host.
  struct HostEnv {
    JNIEnv env;
    JniHost* host;
  };

  JNINativeInterface_ table_{};
  HostEnv env_{};
  jclass receiver_ = nullptr;
  mutable std::mutex mutex_;
  std::deque<Object> objects_;
  std::unordered_set<const void*> valid_;
  std::map<const jchar*, Object*> outstanding_;
  std::vector<std::string> foundClasses_;
  std::vector<std::string> errors_;
  std::unordered_set<const void*> failing_;
  bool exceptionPending_ = false;
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
    return fn(host.env(), host.receiver(), args...);
  }

 private:
  HMODULE module_ = nullptr;
  DWORD loadError_ = 0;
  std::string prefix_;
};

}  // namespace wttest
