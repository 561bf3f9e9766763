#include <cstdint>
#include <cwchar>

#include "jnisupport/jnisupport.h"

namespace jnisupport {

namespace {

// Hands the characters of GetStringChars back on every path.
class StringChars {
 public:
  StringChars(JNIEnv* env, jstring text)
      : env_(env), text_(text), chars_(env->GetStringChars(text, nullptr)) {}
  ~StringChars() {
    if (chars_) env_->ReleaseStringChars(text_, chars_);
  }
  StringChars(const StringChars&) = delete;
  StringChars& operator=(const StringChars&) = delete;
  const jchar* get() const { return chars_; }

 private:
  JNIEnv* env_;
  jstring text_;
  const jchar* chars_;
};

}  // namespace

void EnsureExceptionPending(JNIEnv* env, const char* what) {
  if (env->ExceptionCheck()) return;
  jclass error = env->FindClass("java/lang/OutOfMemoryError");
  // A FindClass that fails leaves its own error pending.
  if (!error) return;
  (void)env->ThrowNew(error, what);
  env->DeleteLocalRef(error);
}

wchar_t* JStringToWide(JNIEnv* env, jstring text, void* (*allocate)(std::size_t), bool* pending) {
  if (pending) *pending = false;
  // A null reference would crash the VM in GetStringLength.
  if (!env || !text) return nullptr;
  const jsize length = env->GetStringLength(text);
  // 2n+2 bytes must not wrap around in a 32-bit process.
  if (length < 0 || static_cast<std::uint64_t>(length) + 1 > SIZE_MAX / sizeof(wchar_t))
    return nullptr;
  const std::size_t count = static_cast<std::size_t>(length);
  StringChars chars(env, text);
  if (!chars.get()) {
    EnsureExceptionPending(env, "GetStringChars returned null");
    if (pending) *pending = true;
    return nullptr;
  }
  auto* buffer = static_cast<wchar_t*>(allocate((count + 1) * sizeof(wchar_t)));
  if (!buffer) return nullptr;
  std::size_t i = 0;
  // The text ends at the first U+0000 of the Java string, as a C string would.
  for (; i < count && chars.get()[i] != 0; ++i) buffer[i] = static_cast<wchar_t>(chars.get()[i]);
  buffer[i] = L'\0';
  return buffer;
}

jstring WideToJString(JNIEnv* env, const wchar_t* text) {
  if (!env || !text) return nullptr;
  const std::size_t length = std::wcslen(text);
  if (length > static_cast<std::size_t>(INT32_MAX)) return nullptr;
  static_assert(sizeof(wchar_t) == sizeof(jchar), "UTF-16 wchar_t");
  jstring string = env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(length));
  if (!string) EnsureExceptionPending(env, "NewString returned null");
  return string;
}

jstring NarrowToJString(JNIEnv* env, const char* text) {
  if (!env || !text) return nullptr;
  jstring string = env->NewStringUTF(text);
  if (!string) EnsureExceptionPending(env, "NewStringUTF returned null");
  return string;
}

jobjectArray NewJavaStringArray(JNIEnv* env, jsize length) {
  if (!env || length < 0) return nullptr;
  // FindClass takes the field-descriptor form here, as the deployment tool's
  // VM has always been given it.
  jclass stringClass = env->FindClass("Ljava/lang/String;");
  if (!stringClass) {
    EnsureExceptionPending(env, "FindClass returned null");
    return nullptr;
  }
  jobjectArray array = env->NewObjectArray(length, stringClass, nullptr);
  env->DeleteLocalRef(stringClass);
  if (!array) EnsureExceptionPending(env, "NewObjectArray returned null");
  return array;
}

bool SetStringElement(JNIEnv* env, jobjectArray array, jsize index, jstring element) {
  if (!element) return false;
  env->SetObjectArrayElement(array, index, element);
  env->DeleteLocalRef(element);
  return true;
}

}  // namespace jnisupport
