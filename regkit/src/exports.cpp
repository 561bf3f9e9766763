// The native methods of com.tev.tools.deployjni.regkit.RegKitAPIDef, bound to
// their operations with the real platform table. The generated JNI header
// declares each one: a signature that drifts from the Java declaration does
// not compile.
//
// Views: a name ending in 32 or WOW32Bit acts in the 32-bit view, every
// other name in the 64-bit view, except RegQueryMultiValue and DelRegkeyValue
// (the boolean chooses) and DelRegKey32BitOS and DelRegTree (the process's
// own view).
#include "com_tev_tools_deployjni_regkit_RegKitAPIDef.h"
#include "operations.h"

#define P regkit::RealPlatform()
#define METHOD(name) Java_com_tev_tools_deployjni_regkit_RegKitAPIDef_##name

namespace {
constexpr bool k64 = true;
constexpr bool k32 = false;
}  // namespace

extern "C" {

// Keys

JNIEXPORT jint JNICALL METHOD(RegKeyExists32)(JNIEnv* env, jclass, jint root, jstring path) {
  return regkit::regKeyExists(P, env, root, path, k32);
}

JNIEXPORT jint JNICALL METHOD(RegKeyExists64)(JNIEnv* env, jclass, jint root, jstring path) {
  return regkit::regKeyExists(P, env, root, path, k64);
}

JNIEXPORT jint JNICALL METHOD(CreateRegKey)(JNIEnv* env, jclass, jint root, jstring path) {
  return regkit::CreateRegKey(P, env, root, path, k64);
}

JNIEXPORT jint JNICALL METHOD(CreateRegKeyWow64)(JNIEnv* env, jclass, jint root, jstring path) {
  return regkit::CreateRegKey(P, env, root, path, k64);
}

JNIEXPORT jint JNICALL METHOD(CreateRegKey32)(JNIEnv* env, jclass, jint root, jstring path) {
  return regkit::CreateRegKey(P, env, root, path, k32);
}

// Value queries

JNIEXPORT jstring JNICALL METHOD(RegQueryValueEx)(JNIEnv* env, jclass, jint root, jstring path,
                                                  jstring name) {
  return regkit::getRegValue(P, env, root, path, name, k64, 0);
}

JNIEXPORT jstring JNICALL METHOD(RegQueryValueExWow64)(JNIEnv* env, jclass, jint root, jstring path,
                                                       jstring name) {
  return regkit::getRegValue(P, env, root, path, name, k64, 0);
}

JNIEXPORT jstring JNICALL METHOD(RegQueryValue32)(JNIEnv* env, jclass, jint root, jstring path,
                                                  jstring name) {
  return regkit::getRegValue(P, env, root, path, name, k32, 0);
}

JNIEXPORT jstring JNICALL METHOD(RegQueryMultiValue)(JNIEnv* env, jclass, jint root, jstring path,
                                                     jstring name, jboolean view64) {
  // The strings of a multi-string joined by line feeds.
  return regkit::getRegValue(P, env, root, path, name, view64 != JNI_FALSE, L'\n');
}

JNIEXPORT jint JNICALL METHOD(RegQueryDwordValue)(JNIEnv* env, jclass, jint root, jstring path,
                                                  jstring name) {
  return regkit::getRegDwordValue(P, env, root, path, name, k64);
}

JNIEXPORT jint JNICALL METHOD(RegQueryDwordValue32)(JNIEnv* env, jclass, jint root, jstring path,
                                                    jstring name) {
  return regkit::getRegDwordValue(P, env, root, path, name, k32);
}

JNIEXPORT jlong JNICALL METHOD(RegQueryType64)(JNIEnv* env, jclass, jint root, jstring path,
                                               jstring name) {
  return regkit::getRegType(P, env, root, path, name, k64);
}

JNIEXPORT jlong JNICALL METHOD(RegQueryType32)(JNIEnv* env, jclass, jint root, jstring path,
                                               jstring name) {
  return regkit::getRegType(P, env, root, path, name, k32);
}

// Enumeration

JNIEXPORT jobjectArray JNICALL METHOD(valuesForKey64)(JNIEnv* env, jclass, jint root,
                                                      jstring path) {
  return regkit::valuesForKey(P, env, root, path, k64);
}

JNIEXPORT jobjectArray JNICALL METHOD(valuesForKey32)(JNIEnv* env, jclass, jint root,
                                                      jstring path) {
  return regkit::valuesForKey(P, env, root, path, k32);
}

JNIEXPORT jobjectArray JNICALL METHOD(childrenForKey64)(JNIEnv* env, jclass, jint root,
                                                        jstring path) {
  return regkit::childrenForKey(P, env, root, path, k64);
}

JNIEXPORT jobjectArray JNICALL METHOD(childrenForKey32)(JNIEnv* env, jclass, jint root,
                                                        jstring path) {
  return regkit::childrenForKey(P, env, root, path, k32);
}

// Writes and deletions

JNIEXPORT jint JNICALL METHOD(SetRegValue)(JNIEnv* env, jclass, jint root, jstring path,
                                           jstring name, jstring data, jint type) {
  return regkit::setRegValue(P, env, root, path, name, data, type, k64);
}

JNIEXPORT jint JNICALL METHOD(SetRegValueWow64)(JNIEnv* env, jclass, jint root, jstring path,
                                                jstring name, jstring data, jint type) {
  return regkit::setRegValue(P, env, root, path, name, data, type, k64);
}

JNIEXPORT jint JNICALL METHOD(SetRegValue32)(JNIEnv* env, jclass, jint root, jstring path,
                                             jstring name, jstring data, jint type) {
  return regkit::setRegValue(P, env, root, path, name, data, type, k32);
}

JNIEXPORT jint JNICALL METHOD(SetRegDwordValue)(JNIEnv* env, jclass, jint root, jstring path,
                                                jstring name, jint data, jint type) {
  return regkit::setRegDwordValue(P, env, root, path, name, data, type, k64);
}

JNIEXPORT jint JNICALL METHOD(SetRegDwordValue32)(JNIEnv* env, jclass, jint root, jstring path,
                                                  jstring name, jint data, jint type) {
  return regkit::setRegDwordValue(P, env, root, path, name, data, type, k32);
}

JNIEXPORT jint JNICALL METHOD(DelRegkeyValue)(JNIEnv* env, jclass, jint root, jstring path,
                                              jstring name, jboolean view64) {
  return regkit::DelRegkeyValue(P, env, root, path, name, view64 != JNI_FALSE);
}

JNIEXPORT jint JNICALL METHOD(DelRegKey32BitOS)(JNIEnv* env, jclass, jint root, jstring path) {
  return regkit::deleteRegKey(P, env, root, path, regkit::kOwnView);
}

JNIEXPORT jint JNICALL METHOD(DelRegKeyWOW32Bit)(JNIEnv* env, jclass, jint root, jstring path) {
  return regkit::deleteRegKey(P, env, root, path, regkit::kDelete32);
}

JNIEXPORT jint JNICALL METHOD(DelRegKeyWOW64Bit)(JNIEnv* env, jclass, jint root, jstring path) {
  return regkit::deleteRegKey(P, env, root, path, regkit::kDelete64);
}

JNIEXPORT jint JNICALL METHOD(DelRegTree)(JNIEnv* env, jclass, jint root, jstring path) {
  return regkit::DelRegTree(P, env, root, path);
}

}  // extern "C"
