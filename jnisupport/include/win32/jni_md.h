/* Machine-dependent JNI types and linkage for Windows (x86 and x64).
 *
 * The JDK installed on the build machine ships the jni_md.h of its own
 * platform; a Windows Java VM expects these definitions instead:
 *   - native methods use the stdcall convention (only x86 has a distinct
 *     one; on x64 it is the single Windows convention),
 *   - they are exported from the DLL,
 *   - jint is a Windows long (32 bits also on x64, where long stays 32 bits),
 *     jlong a 64-bit integer in both architectures.
 */
#ifndef _JAVASOFT_JNI_MD_H_
#define _JAVASOFT_JNI_MD_H_

#ifndef JNIEXPORT
#define JNIEXPORT __declspec(dllexport)
#endif
#define JNIIMPORT __declspec(dllimport)
#define JNICALL __stdcall

typedef long jint;
typedef long long jlong;
typedef signed char jbyte;

#endif /* !_JAVASOFT_JNI_MD_H_ */
