// What both JNI libraries share: string conversion between Java and native
// text, String[] results, and the log entries of libHostProbe.
//
// Conventions towards Java: no Java exception is ever thrown; a failure is the
// method's failure result (0, or a null string).
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
// Returns null when the VM gives no characters: it then has an exception
// (OutOfMemoryError) pending, and *pending, when given, is set true (false on
// every other path). With an exception pending JNI allows no call but a few
// (a release among them): the caller converts no further string and makes no
// result object, but returns at once. Callers treat null as their failure
// result and make no Windows call with it.
wchar_t* JStringToWide(JNIEnv* env, jstring text, void* (*allocate)(std::size_t) = std::malloc,
                       bool* pending = nullptr);

// JStringToWide into an owner.
inline WideText JStringToWideText(JNIEnv* env, jstring text, bool* pending = nullptr) {
  return WideText(JStringToWide(env, text, std::malloc, pending));
}

// Zero-terminated UTF-16 to a new Java string (NewString); null for null.
jstring WideToJString(JNIEnv* env, const wchar_t* text);

// Zero-terminated 8-bit text to a new Java string (NewStringUTF), the bytes
// unchanged: only 7-bit ASCII arrives in Java exactly. Null for null.
jstring NarrowToJString(JNIEnv* env, const char* text);

// A Java String[] of length elements, all null; the caller fills it with
// SetObjectArrayElement. Null when the class or the array cannot be made.
jobjectArray NewJavaStringArray(JNIEnv* env, jsize length);

// libHostProbe's log: two lines on standard output, the local time as a
// 24-character timestamp line, then "<prefix> <key>=<value>".
void WriteLogEntry(const char* prefix, const char* key, const char* value);
void LogInfo(const char* key, const char* value);     // prefix "INFO:"
void LogWarning(const char* key, const char* value);  // prefix "WARNING:"

}  // namespace jnisupport
