// The operations behind the 21 native methods of HostProbeAPIDef, each on a
// platform table. exports.cpp binds them to their JNI names with the real
// table.
//
// Truth values are the jint 1 or 0. A string argument that is null (or cannot
// be converted) gives the method's failure result without any Windows call.
#pragma once

#include <jni.h>

#include "platform.h"

namespace hostprobe {

// Windows version and architecture
int NativeArchitectureClass(const Platform& p);  // 0, 1 (AMD64) or 2 (IA64)
int IsRunningUnderWow64(const Platform& p);      // 1 or 0
const char* ClassifyWindowsVersion(const Platform& p);
jstring GetHostProbeVersion(const Platform& p, JNIEnv* env);
jstring GetWinVerStr(const Platform& p, JNIEnv* env);
jint GetArchitectureWin(const Platform& p);
jint IsWow64(const Platform& p);
jstring GetSysDr(const Platform& p, JNIEnv* env);
jstring GetSystemDirectoryText(const Platform& p, JNIEnv* env);

// Processor, memory, computer name
jint GetCPULevelWin(const Platform& p);
jint GetCPUModelWin(const Platform& p);
jint GetCPUSteppingWin(const Platform& p);
jint GetCPUNumWin(const Platform& p);
jlong GetPhysicalMemory(const Platform& p);
jstring WinGetComputerName(const Platform& p, JNIEnv* env);

// Files
jint Copy64NoRedirect(const Platform& p, JNIEnv* env, jstring existing, jstring target);
jint Delete64NoRedirect(const Platform& p, JNIEnv* env, jstring file);
jint MoveWithFlags(const Platform& p, JNIEnv* env, jstring existing, jstring target, jint flags);
jstring GetShortPath(const Platform& p, JNIEnv* env, jstring longPath);
jint IsFileWriteLocked(const Platform& p, JNIEnv* env, jstring file);

// Fonts, environment broadcast, restart
int RemoveFontCompletely(const Platform& p, const wchar_t* path);
jint RegisterFont(const Platform& p, JNIEnv* env, jstring path);
jint UnregisterFont(const Platform& p, JNIEnv* env, jstring path);
jint RegisterEnvironmentChange(const Platform& p);
jint SystemShutdown(const Platform& p);

}  // namespace hostprobe
