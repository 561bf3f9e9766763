// The operations behind the 27 native methods of RegKitAPIDef, each on a
// platform table. exports.cpp binds them to their JNI names with the real
// table. The routines carry the names their messages print.
//
// Conventions towards Java: truth values are the jint 1 or 0. A string
// argument that is null, or that cannot be converted, gives the method's
// failure result without any Windows call and without a message. The strings
// are converted in order and the first that fails ends the method: when the
// VM refused its characters an OutOfMemoryError is pending (thrown by the
// library when the VM threw nothing), no other JNI call follows, and
// getRegValue returns null rather than make its empty string. When the VM
// cannot make a result string or array (again with an exception pending),
// the method returns null. The one Java exception is that OutOfMemoryError.
#pragma once

#include <jni.h>

#include "platform.h"

namespace regkit {

HKEY mapRootCode(jint rootCode);

// Keys. regKeyExists: 1 when the key opens for reading in the view, silent.
jint regKeyExists(const Platform& p, JNIEnv* env, jint root, jstring path, bool view64);
// Opens, else creates (every missing level) the key for writing in the view.
jint CreateRegKey(const Platform& p, JNIEnv* env, jint root, jstring path, bool view64);

// Value queries. getRegValue's failure result is the empty string; with a
// separator other than 0 the strings of a multi-string come back joined by it.
jstring getRegValue(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                    bool view64, wchar_t separator);
jint getRegDwordValue(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                      bool view64);
// The Windows value type, 0 for a missing key or value.
jlong getRegType(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                 bool view64);

// Enumeration: a String[] of the value or subkey names in Windows' order, an
// element null where that index could not be read; null for a key that
// cannot be opened or counted.
jobjectArray valuesForKey(const Platform& p, JNIEnv* env, jint root, jstring path, bool view64);
jobjectArray childrenForKey(const Platform& p, JNIEnv* env, jint root, jstring path, bool view64);

// Writes into an existing key; the type code is the Java side's (100-108).
jint setRegValue(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                 jstring data, jint typeCode, bool view64);
jint setRegDwordValue(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                      jint data, jint typeCode, bool view64);
jint DelRegkeyValue(const Platform& p, JNIEnv* env, jint root, jstring path, jstring name,
                    bool view64);

// Deletes a key without subkeys: mode 0 in the process's own view with
// RegDeleteKeyW, 1 and 2 in the 64-bit and 32-bit view with RegDeleteKeyExW.
enum DeleteMode : int { kOwnView = 0, kDelete64 = 1, kDelete32 = 2 };
jint deleteRegKey(const Platform& p, JNIEnv* env, jint root, jstring path, DeleteMode mode);
// Deletes a key with everything below it, in the process's own view.
jint DelRegTree(const Platform& p, JNIEnv* env, jint root, jstring path);

}  // namespace regkit
