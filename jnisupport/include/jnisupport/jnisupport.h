// What both JNI libraries share: string conversion between Java and native
// text, String[] results, and the log entries of libHostProbe.
//
// Conventions towards Java: a failure is the method's failure result (0, or a
// null string). The one Java exception is the VM's OutOfMemoryError: when a
// JNI call returns null, the method returns at once with it pending, thrown
// here when the VM returned null without throwing.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdlib>
#include <memory>

namespace jnisupport {

// Releases what JStringToWide hands out.
struct FreeDeleter {
  void operator()(void* p) const noexcept { std::free(p); }
};
using WideText = std::unique_ptr<wchar_t, FreeDeleter>;

// Java string to a zero-terminated UTF-16 copy, cut at the first U+0000 of
// the Java text. The caller owns the buffer and releases it with free (or
// holds it in a WideText).
//
// Returns null, calling no JNI function, for a null Java string; returns null
// (with the characters handed back) when the buffer cannot be allocated.
// Returns null when the VM gives no characters: an exception is then pending
// (the VM's, or an OutOfMemoryError thrown here when the VM threw none), and
// *pending, when given, is set true (false on every other path). With an
// exception pending JNI allows no call but a few (a release among them): the
// caller converts no further string and makes no result object, but returns
// at once. Callers treat null as their failure result and make no Windows
// call with it.
wchar_t* JStringToWide(JNIEnv* env, jstring text, void* (*allocate)(std::size_t) = std::malloc,
                       bool* pending = nullptr);

// JStringToWide into an owner.
inline WideText JStringToWideText(JNIEnv* env, jstring text, bool* pending = nullptr) {
  return WideText(JStringToWide(env, text, std::malloc, pending));
}

// After a JNI call returned null: leaves an exception pending, the VM's if it
// threw one, else an OutOfMemoryError with the message what. A VM may return
// null without throwing (GetStringChars when native memory runs out).
void EnsureExceptionPending(JNIEnv* env, const char* what);

// Zero-terminated UTF-16 to a new Java string (NewString); null for null, and
// null with an exception pending when the VM cannot make it.
jstring WideToJString(JNIEnv* env, const wchar_t* text);

// Zero-terminated 8-bit text to a new Java string (NewStringUTF), the bytes
// unchanged: only 7-bit ASCII arrives in Java exactly. Null for null, and
// null with an exception pending when the VM cannot make it.
jstring NarrowToJString(JNIEnv* env, const char* text);

// A Java String[] of length elements, all null; the caller fills it with
// SetStringElement. Null, with an exception pending, when the class or the
// array cannot be made. The class reference is deleted before it returns.
jobjectArray NewJavaStringArray(JNIEnv* env, jsize length);

// Stores element at index and deletes its local reference, so that a listing
// of any length holds no more than three (class, array, element) of the 16 a
// VM guarantees a native method. False for a null element (a string the VM
// could not make: an exception is then pending and the caller returns).
bool SetStringElement(JNIEnv* env, jobjectArray array, jsize index, jstring element);

// libHostProbe's log: two lines on standard output, the local time as a
// 24-character timestamp line, then "<prefix> <key>=<value>".
void WriteLogEntry(const char* prefix, const char* key, const char* value);
void LogInfo(const char* key, const char* value);     // prefix "INFO:"
void LogWarning(const char* key, const char* value);  // prefix "WARNING:"

}  // namespace jnisupport
