// The native methods of com.tev.tools.deployjni.hostprobe.HostProbeAPIDef,
// bound to their operations with the real platform table. The generated JNI
// header declares each one: a signature that drifts from the Java declaration
// does not compile.
#include "com_tev_tools_deployjni_hostprobe_HostProbeAPIDef.h"
#include "operations.h"

#define P hostprobe::RealPlatform()
#define METHOD(name) Java_com_tev_tools_deployjni_hostprobe_HostProbeAPIDef_##name

extern "C" {

JNIEXPORT jstring JNICALL METHOD(GetHostProbeVersion)(JNIEnv* env, jclass) {
  return hostprobe::GetHostProbeVersion(P, env);
}

JNIEXPORT jstring JNICALL METHOD(GetWinVerStr)(JNIEnv* env, jclass) {
  return hostprobe::GetWinVerStr(P, env);
}

JNIEXPORT jint JNICALL METHOD(GetArchitectureWin)(JNIEnv* /*env*/, jclass) {
  return hostprobe::GetArchitectureWin(P);
}

JNIEXPORT jint JNICALL METHOD(isWow64)(JNIEnv* /*env*/, jclass) {
  return hostprobe::IsWow64(P);
}

JNIEXPORT jstring JNICALL METHOD(getSysDr)(JNIEnv* env, jclass) {
  return hostprobe::GetSysDr(P, env);
}

JNIEXPORT jstring JNICALL METHOD(getSystemDirectory)(JNIEnv* env, jclass) {
  return hostprobe::GetSystemDirectoryText(P, env);
}

JNIEXPORT jint JNICALL METHOD(GetCPULevelWin)(JNIEnv* /*env*/, jclass) {
  return hostprobe::GetCPULevelWin(P);
}

JNIEXPORT jint JNICALL METHOD(GetCPUModelWin)(JNIEnv* /*env*/, jclass) {
  return hostprobe::GetCPUModelWin(P);
}

JNIEXPORT jint JNICALL METHOD(GetCPUSteppingWin)(JNIEnv* /*env*/, jclass) {
  return hostprobe::GetCPUSteppingWin(P);
}

JNIEXPORT jint JNICALL METHOD(GetCPUNumWin)(JNIEnv* /*env*/, jclass) {
  return hostprobe::GetCPUNumWin(P);
}

JNIEXPORT jlong JNICALL METHOD(GetPhysicalMemory)(JNIEnv* /*env*/, jclass) {
  return hostprobe::GetPhysicalMemory(P);
}

JNIEXPORT jstring JNICALL METHOD(WinGetComputerName)(JNIEnv* env, jclass) {
  return hostprobe::WinGetComputerName(P, env);
}

JNIEXPORT jint JNICALL METHOD(Copy64NoRedirect)(JNIEnv* env, jclass, jstring existing, jstring target) {
  return hostprobe::Copy64NoRedirect(P, env, existing, target);
}

JNIEXPORT jint JNICALL METHOD(Delete64NoRedirect)(JNIEnv* env, jclass, jstring file) {
  return hostprobe::Delete64NoRedirect(P, env, file);
}

JNIEXPORT jint JNICALL METHOD(MoveFileEx)(JNIEnv* env, jclass, jstring existing, jstring target, jint flags) {
  return hostprobe::MoveWithFlags(P, env, existing, target, flags);
}

JNIEXPORT jstring JNICALL METHOD(GetShortPath)(JNIEnv* env, jclass, jstring longPath) {
  return hostprobe::GetShortPath(P, env, longPath);
}

JNIEXPORT jint JNICALL METHOD(IsFileWriteLocked)(JNIEnv* env, jclass, jstring file) {
  return hostprobe::IsFileWriteLocked(P, env, file);
}

JNIEXPORT jint JNICALL METHOD(registerFont)(JNIEnv* env, jclass, jstring file) {
  return hostprobe::RegisterFont(P, env, file);
}

JNIEXPORT jint JNICALL METHOD(unregisterFont)(JNIEnv* env, jclass, jstring file) {
  return hostprobe::UnregisterFont(P, env, file);
}

JNIEXPORT jint JNICALL METHOD(registerEnvironmentChange)(JNIEnv* /*env*/, jclass) {
  return hostprobe::RegisterEnvironmentChange(P);
}

JNIEXPORT jint JNICALL METHOD(SystemShutdown)(JNIEnv* /*env*/, jclass) {
  return hostprobe::SystemShutdown(P);
}

}  // extern "C"
