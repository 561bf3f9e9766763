#include "wttest/jnihost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace wttest {

struct JniHost::Object {
  enum Kind { kString, kClass, kArray } kind = kString;
  std::wstring text;               // kString: the UTF-16 code units
  std::optional<std::string> utf;  // kString made by NewStringUTF: its bytes
  std::string className;           // kClass
  std::vector<jobject> elements;   // kArray
};

namespace {

// Filled into every slot of the function table the host does not implement.
// It never returns, so the calling convention of the slot does not matter.
template <std::size_t Slot>
void UnexpectedJniCall() {
  std::fprintf(stderr, "JNI host: the library called unimplemented JNI function slot %u\n",
               static_cast<unsigned>(Slot));
  std::fflush(stderr);
  std::abort();
}

template <std::size_t... Slots>
void FillUnexpected(void** slots, std::index_sequence<Slots...>) {
  ((slots[Slots] = reinterpret_cast<void*>(&UnexpectedJniCall<Slots>)), ...);
}

constexpr std::size_t kSlotCount = sizeof(JNINativeInterface_) / sizeof(void*);

}  // namespace

struct JniHostFunctions {
  static JniHost& Host(JNIEnv* env) { return *reinterpret_cast<JniHost::HostEnv*>(env)->host; }

  // Called with the lock held by every function a pending exception forbids.
  static void Forbidden(JniHost& h, const char* function) {
    if (h.exceptionPending_) h.Error(std::string(function) + " with an exception pending");
  }

  static jsize JNICALL GetStringLength(JNIEnv* env, jstring str) {
    JniHost& h = Host(env);
    std::lock_guard<std::mutex> lock(h.mutex_);
    Forbidden(h, "GetStringLength");
    JniHost::Object* o = h.Find(str);
    if (!o || o->kind != JniHost::Object::kString) {
      h.Error("GetStringLength of something that is no string");
      return 0;
    }
    return static_cast<jsize>(o->text.size());
  }

  static const jchar* JNICALL GetStringChars(JNIEnv* env, jstring str, jboolean* isCopy) {
    JniHost& h = Host(env);
    std::lock_guard<std::mutex> lock(h.mutex_);
    Forbidden(h, "GetStringChars");
    JniHost::Object* o = h.Find(str);
    if (!o || o->kind != JniHost::Object::kString) {
      h.Error("GetStringChars of something that is no string");
      return nullptr;
    }
    ++h.charsTaken_;
    if (h.failing_.count(o)) {
      h.exceptionPending_ = true;  // OutOfMemoryError
      return nullptr;
    }
    // A copy, unterminated as a VM may hand it out: a library must use the
    // length, not a terminator. A guard unit after the text catches reads
    // past the end only as garbage, so poison it.
    auto* chars = new jchar[o->text.size() + 1];
    for (std::size_t i = 0; i < o->text.size(); ++i) chars[i] = static_cast<jchar>(o->text[i]);
    chars[o->text.size()] = 0xFFFF;
    h.outstanding_[chars] = o;
    if (isCopy) *isCopy = JNI_TRUE;
    return chars;
  }

  static void JNICALL ReleaseStringChars(JNIEnv* env, jstring str, const jchar* chars) {
    JniHost& h = Host(env);
    std::lock_guard<std::mutex> lock(h.mutex_);
    auto it = h.outstanding_.find(chars);
    if (it == h.outstanding_.end()) {
      h.Error("ReleaseStringChars of characters never taken");
      return;
    }
    if (it->second != h.Find(str)) h.Error("ReleaseStringChars with another string");
    delete[] it->first;
    h.outstanding_.erase(it);
  }

  static jstring JNICALL NewString(JNIEnv* env, const jchar* chars, jsize len) {
    JniHost& h = Host(env);
    std::lock_guard<std::mutex> lock(h.mutex_);
    Forbidden(h, "NewString");
    if (len < 0 || (len > 0 && !chars)) {
      h.Error("NewString with a bad length or no characters");
      return nullptr;
    }
    JniHost::Object o;
    o.text.assign(reinterpret_cast<const wchar_t*>(chars), static_cast<std::size_t>(len));
    return reinterpret_cast<jstring>(h.Add(std::move(o)));
  }

  static jstring JNICALL NewStringUTF(JNIEnv* env, const char* utf) {
    JniHost& h = Host(env);
    std::lock_guard<std::mutex> lock(h.mutex_);
    Forbidden(h, "NewStringUTF");
    if (!utf) {
      h.Error("NewStringUTF of null");
      return nullptr;
    }
    JniHost::Object o;
    o.utf = utf;
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf, -1, nullptr, 0);
    if (n > 0) {
      o.text.resize(static_cast<std::size_t>(n));
      MultiByteToWideChar(CP_UTF8, 0, utf, -1, &o.text[0], n);
      o.text.resize(static_cast<std::size_t>(n - 1));
    }
    return reinterpret_cast<jstring>(h.Add(std::move(o)));
  }

  static jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    JniHost& h = Host(env);
    std::lock_guard<std::mutex> lock(h.mutex_);
    Forbidden(h, "FindClass");
    h.foundClasses_.push_back(name ? name : "");
    JniHost::Object o;
    o.kind = JniHost::Object::kClass;
    o.className = name ? name : "";
    return reinterpret_cast<jclass>(h.Add(std::move(o)));
  }

  static jobjectArray JNICALL NewObjectArray(JNIEnv* env, jsize len, jclass cls, jobject init) {
    JniHost& h = Host(env);
    std::lock_guard<std::mutex> lock(h.mutex_);
    Forbidden(h, "NewObjectArray");
    JniHost::Object* c = h.Find(cls);
    if (!c || c->kind != JniHost::Object::kClass || len < 0) {
      h.Error("NewObjectArray without a class or with a negative length");
      return nullptr;
    }
    JniHost::Object o;
    o.kind = JniHost::Object::kArray;
    o.elements.assign(static_cast<std::size_t>(len), init);
    return reinterpret_cast<jobjectArray>(h.Add(std::move(o)));
  }

  static void JNICALL SetObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index,
                                            jobject value) {
    JniHost& h = Host(env);
    std::lock_guard<std::mutex> lock(h.mutex_);
    Forbidden(h, "SetObjectArrayElement");
    JniHost::Object* a = h.Find(array);
    if (!a || a->kind != JniHost::Object::kArray) {
      h.Error("SetObjectArrayElement on something that is no array");
      return;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= a->elements.size()) {
      h.Error("SetObjectArrayElement index out of bounds");
      return;
    }
    a->elements[static_cast<std::size_t>(index)] = value;
  }
};

JniHost::JniHost() {
  FillUnexpected(reinterpret_cast<void**>(&table_), std::make_index_sequence<kSlotCount>());
  table_.GetStringLength = &JniHostFunctions::GetStringLength;
  table_.GetStringChars = &JniHostFunctions::GetStringChars;
  table_.ReleaseStringChars = &JniHostFunctions::ReleaseStringChars;
  table_.NewString = &JniHostFunctions::NewString;
  table_.NewStringUTF = &JniHostFunctions::NewStringUTF;
  table_.FindClass = &JniHostFunctions::FindClass;
  table_.NewObjectArray = &JniHostFunctions::NewObjectArray;
  table_.SetObjectArrayElement = &JniHostFunctions::SetObjectArrayElement;
  env_.env.functions = &table_;
  env_.host = this;
  Object receiver;
  receiver.kind = Object::kClass;
  receiver.className = "receiver";
  receiver_ = reinterpret_cast<jclass>(Add(std::move(receiver)));
}

JniHost::~JniHost() {
  for (auto& entry : outstanding_) delete[] entry.first;
}

JniHost::Object* JniHost::Add(Object object) {
  objects_.push_back(std::move(object));
  valid_.insert(&objects_.back());
  return &objects_.back();
}

JniHost::Object* JniHost::Find(jobject ref) const {
  if (!ref || valid_.count(ref) == 0) return nullptr;
  return reinterpret_cast<Object*>(ref);
}

void JniHost::Error(std::string text) { errors_.push_back(std::move(text)); }

jstring JniHost::NewJavaString(const std::wstring& text) {
  std::lock_guard<std::mutex> lock(mutex_);
  Object o;
  o.text = text;
  return reinterpret_cast<jstring>(Add(std::move(o)));
}

std::optional<std::wstring> JniHost::Text(jobject string) const {
  std::lock_guard<std::mutex> lock(mutex_);
  Object* o = Find(string);
  if (!o || o->kind != Object::kString) return std::nullopt;
  return o->text;
}

std::optional<std::string> JniHost::Utf(jobject string) const {
  std::lock_guard<std::mutex> lock(mutex_);
  Object* o = Find(string);
  if (!o || o->kind != Object::kString) return std::nullopt;
  return o->utf;
}

std::optional<std::vector<std::optional<std::wstring>>> JniHost::StringArray(jobject array) const {
  std::lock_guard<std::mutex> lock(mutex_);
  Object* a = Find(array);
  if (!a || a->kind != Object::kArray) return std::nullopt;
  std::vector<std::optional<std::wstring>> out;
  for (jobject e : a->elements) {
    Object* s = Find(e);
    if (s && s->kind == Object::kString)
      out.push_back(s->text);
    else
      out.push_back(std::nullopt);
  }
  return out;
}

std::vector<std::string> JniHost::FoundClasses() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return foundClasses_;
}

void JniHost::FailStringChars(jstring string) {
  std::lock_guard<std::mutex> lock(mutex_);
  failing_.insert(string);
}

void JniHost::ClearException() {
  std::lock_guard<std::mutex> lock(mutex_);
  exceptionPending_ = false;
}

int JniHost::OutstandingChars() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(outstanding_.size());
}

int JniHost::CharsTaken() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return charsTaken_;
}

std::vector<std::string> JniHost::Errors() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return errors_;
}

JniLibrary::JniLibrary(const std::wstring& path, std::string exportPrefix)
    : prefix_(std::move(exportPrefix)) {
  module_ = LoadLibraryW(path.c_str());
  if (!module_) loadError_ = GetLastError();
}

JniLibrary::~JniLibrary() {
  if (module_) FreeLibrary(module_);
}

FARPROC JniLibrary::Find(const char* method) const {
  if (!module_) return nullptr;
  return GetProcAddress(module_, (prefix_ + method).c_str());
}

std::vector<std::string> JniLibrary::ExportNames() const {
  std::vector<std::string> names;
  if (!module_) return names;
  const auto* base = reinterpret_cast<const BYTE*>(module_);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  if (dir.VirtualAddress == 0) return names;
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
  return names;
}

}  // namespace wttest
