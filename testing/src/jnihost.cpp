#include "wttest/jnihost.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace wttest {

struct JniHost::Object {
  enum Kind { kString, kClass, kArray, kAny } kind = kString;
  std::wstring text;               // kString: the UTF-16 code units
  std::optional<std::string> utf;  // kString made by NewStringUTF: its bytes
  std::string className;           // kClass
  std::vector<jobject> elements;   // kArray
  // As a local reference: its thread (0 for the receiver, valid on every
  // thread), its frame, and whether it is still live.
  DWORD thread = 0;
  std::size_t frame = 0;
  bool live = true;
};

// One thread's env: the JNIEnv* the library gets points at its first member.
struct JniHost::ThreadEnv {
  JNIEnv env;
  JniHost* host = nullptr;
  DWORD thread = 0;
  std::string pending;  // class of the pending exception; empty: none
  struct Frame {
    int capacity;  // -1: the caller's side, unlimited
    int live = 0;
    bool overflowed = false;
    std::vector<Object*> refs = {};
  };
  std::vector<Frame> frames{Frame{-1}};
  std::size_t nativeBase = 0;  // the running native method's own frame
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
constexpr int kNativeFrameCapacity = 16;
const char kOutOfMemory[] = "java/lang/OutOfMemoryError";

}  // namespace

struct JniHostFunctions {
  using Object = JniHost::Object;

  // One JNI call on env, the host locked: the env must be the calling
  // thread's, and only the calls allowed then may be made with an exception
  // pending.
  struct Scope {
    JniHost::ThreadEnv& t;
    JniHost& h;
    std::lock_guard<std::mutex> lock;
    const char* fn;
    Scope(JNIEnv* env, const char* function, bool allowedWithException = false)
        : t(*reinterpret_cast<JniHost::ThreadEnv*>(env)), h(*t.host), lock(h.mutex_), fn(function) {
      if (t.thread != GetCurrentThreadId()) Fail("the JNIEnv of another thread");
      if (!allowedWithException && !t.pending.empty()) Fail("an exception pending");
    }
    void Fail(const std::string& what) { h.Error(std::string(fn) + " with " + what); }

    // ref as a live local reference of this thread, else null and an error.
    Object* Use(jobject ref, Object::Kind kind) {
      Object* o = h.Find(ref);
      if (!o || (kind != Object::kAny && o->kind != kind)) {
        Fail("no object of the right kind");
      } else if (o->thread != 0 && o->thread != t.thread) {
        Fail("a local reference of another thread");
      } else if (!o->live) {
        Fail("a deleted local reference, or one whose frame has ended");
      } else {
        return o;
      }
      return nullptr;
    }

    // o becomes a live reference in the thread's current frame.
    Object* Track(Object* o) {
      JniHost::ThreadEnv::Frame& f = t.frames.back();
      o->thread = t.thread;
      o->frame = t.frames.size() - 1;
      o->live = true;
      f.refs.push_back(o);
      if (++f.live > f.capacity && f.capacity >= 0 && !f.overflowed) {
        f.overflowed = true;
        h.Error(std::string(fn) + ": " + std::to_string(f.live) +
                " live local references in a frame of capacity " + std::to_string(f.capacity));
      }
      return o;
    }

    // Ends the frames above base; keep becomes a reference of the one below.
    Object* PopTo(std::size_t base, Object* keep) {
      for (std::size_t i = base; i < t.frames.size(); ++i)
        for (Object* o : t.frames[i].refs) o->live = false;
      t.frames.resize(base);
      return keep ? Track(keep) : nullptr;
    }
  };

  static jsize JNICALL GetStringLength(JNIEnv* env, jstring str) {
    Scope s(env, "GetStringLength");
    Object* o = s.Use(str, Object::kString);
    return o ? static_cast<jsize>(o->text.size()) : 0;
  }

  static const jchar* JNICALL GetStringChars(JNIEnv* env, jstring str, jboolean* isCopy) {
    Scope s(env, "GetStringChars");
    Object* o = s.Use(str, Object::kString);
    if (!o) return nullptr;
    ++s.h.charsTaken_;
    if (auto failing = s.h.failing_.find(o); failing != s.h.failing_.end()) {
      if (failing->second) s.t.pending = kOutOfMemory;
      return nullptr;
    }
    // A copy, unterminated as a VM may hand it out: a library must use the
    // length, not a terminator. A guard unit after the text catches reads
    // past the end only as garbage, so poison it.
    auto* chars = new jchar[o->text.size() + 1];
    for (std::size_t i = 0; i < o->text.size(); ++i) chars[i] = static_cast<jchar>(o->text[i]);
    chars[o->text.size()] = 0xFFFF;
    s.h.outstanding_[chars] = o;
    if (isCopy) *isCopy = JNI_TRUE;
    return chars;
  }

  static void JNICALL ReleaseStringChars(JNIEnv* env, jstring str, const jchar* chars) {
    Scope s(env, "ReleaseStringChars", true);
    auto it = s.h.outstanding_.find(chars);
    if (it == s.h.outstanding_.end()) {
      s.h.Error("ReleaseStringChars of characters never taken");
      return;
    }
    if (it->second != s.h.Find(str)) s.h.Error("ReleaseStringChars with another string");
    delete[] it->first;
    s.h.outstanding_.erase(it);
  }

  static jstring JNICALL NewString(JNIEnv* env, const jchar* chars, jsize len) {
    Scope s(env, "NewString");
    if (len < 0 || (len > 0 && !chars)) {
      s.h.Error("NewString with a bad length or no characters");
      return nullptr;
    }
    Object o;
    o.text.assign(reinterpret_cast<const wchar_t*>(chars), static_cast<std::size_t>(len));
    return reinterpret_cast<jstring>(s.Track(s.h.Add(std::move(o))));
  }

  static jstring JNICALL NewStringUTF(JNIEnv* env, const char* utf) {
    Scope s(env, "NewStringUTF");
    if (!utf) {
      s.h.Error("NewStringUTF of null");
      return nullptr;
    }
    Object o;
    o.utf = utf;
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf, -1, nullptr, 0);
    if (n > 0) {
      o.text.resize(static_cast<std::size_t>(n));
      MultiByteToWideChar(CP_UTF8, 0, utf, -1, &o.text[0], n);
      o.text.resize(static_cast<std::size_t>(n - 1));
    }
    return reinterpret_cast<jstring>(s.Track(s.h.Add(std::move(o))));
  }

  static jclass JNICALL FindClass(JNIEnv* env, const char* name) {
    Scope s(env, "FindClass");
    s.h.foundClasses_.push_back(name ? name : "");
    Object o;
    o.kind = Object::kClass;
    o.className = name ? name : "";
    return reinterpret_cast<jclass>(s.Track(s.h.Add(std::move(o))));
  }

  static jobjectArray JNICALL NewObjectArray(JNIEnv* env, jsize len, jclass cls, jobject init) {
    Scope s(env, "NewObjectArray");
    if (!s.Use(cls, Object::kClass) || len < 0) return nullptr;
    Object o;
    o.kind = Object::kArray;
    o.elements.assign(static_cast<std::size_t>(len), init);
    return reinterpret_cast<jobjectArray>(s.Track(s.h.Add(std::move(o))));
  }

  static void JNICALL SetObjectArrayElement(JNIEnv* env, jobjectArray array, jsize index,
                                            jobject value) {
    Scope s(env, "SetObjectArrayElement");
    Object* a = s.Use(array, Object::kArray);
    if (!a || (value && !s.Use(value, Object::kAny))) return;
    if (index < 0 || static_cast<std::size_t>(index) >= a->elements.size()) {
      s.h.Error("SetObjectArrayElement index out of bounds");
      return;
    }
    a->elements[static_cast<std::size_t>(index)] = value;
  }

  static jboolean JNICALL ExceptionCheck(JNIEnv* env) {
    Scope s(env, "ExceptionCheck", true);
    return s.t.pending.empty() ? JNI_FALSE : JNI_TRUE;
  }

  static jint JNICALL ThrowNew(JNIEnv* env, jclass cls, const char*) {
    Scope s(env, "ThrowNew");
    Object* c = s.Use(cls, Object::kClass);
    if (!c) return JNI_ERR;
    s.t.pending = c->className;
    return 0;
  }

  static void JNICALL DeleteLocalRef(JNIEnv* env, jobject ref) {
    Scope s(env, "DeleteLocalRef", true);
    Object* o = ref ? s.Use(ref, Object::kAny) : nullptr;
    if (!o || o->thread == 0) return;
    o->live = false;
    --s.t.frames[o->frame].live;
  }

  static jint JNICALL EnsureLocalCapacity(JNIEnv* env, jint capacity) {
    Scope s(env, "EnsureLocalCapacity");
    JniHost::ThreadEnv::Frame& f = s.t.frames.back();
    if (capacity < 0) return JNI_ERR;
    if (f.capacity >= 0) f.capacity = std::max<int>(f.capacity, f.live + capacity);
    return 0;
  }

  static jint JNICALL PushLocalFrame(JNIEnv* env, jint capacity) {
    Scope s(env, "PushLocalFrame");
    if (capacity < 0) return JNI_ERR;
    s.t.frames.push_back({capacity});
    return 0;
  }

  static jobject JNICALL PopLocalFrame(JNIEnv* env, jobject result) {
    Scope s(env, "PopLocalFrame", true);
    if (s.t.frames.size() <= s.t.nativeBase + 1) {
      s.h.Error("PopLocalFrame without PushLocalFrame");
      return nullptr;
    }
    Object* keep = result ? s.Use(result, Object::kAny) : nullptr;
    return reinterpret_cast<jobject>(s.PopTo(s.t.frames.size() - 1, keep));
  }
};

JniHost::JniHost() {
  FillUnexpected(reinterpret_cast<void**>(&table_), std::make_index_sequence<kSlotCount>());
  using F = JniHostFunctions;
  table_.GetStringLength = &F::GetStringLength;
  table_.GetStringChars = &F::GetStringChars;
  table_.ReleaseStringChars = &F::ReleaseStringChars;
  table_.NewString = &F::NewString;
  table_.NewStringUTF = &F::NewStringUTF;
  table_.FindClass = &F::FindClass;
  table_.NewObjectArray = &F::NewObjectArray;
  table_.SetObjectArrayElement = &F::SetObjectArrayElement;
  table_.ExceptionCheck = &F::ExceptionCheck;
  table_.ThrowNew = &F::ThrowNew;
  table_.DeleteLocalRef = &F::DeleteLocalRef;
  table_.EnsureLocalCapacity = &F::EnsureLocalCapacity;
  table_.PushLocalFrame = &F::PushLocalFrame;
  table_.PopLocalFrame = &F::PopLocalFrame;
  Object receiver;
  receiver.kind = Object::kClass;
  receiver.className = "receiver";
  receiver_ = reinterpret_cast<jclass>(Add(std::move(receiver)));
}

JniHost::~JniHost() {
  for (auto& entry : outstanding_) delete[] entry.first;
}

JniHost::ThreadEnv& JniHost::Current() {
  std::unique_ptr<ThreadEnv>& t = envs_[GetCurrentThreadId()];
  if (!t) {
    t = std::make_unique<ThreadEnv>();
    t->env.functions = &table_;
    t->host = this;
    t->thread = GetCurrentThreadId();
  }
  return *t;
}

JNIEnv* JniHost::env() {
  std::lock_guard<std::mutex> lock(mutex_);
  return &Current().env;
}

void JniHost::EnterNative() {
  JNIEnv* e = env();
  JniHostFunctions::Scope s(e, "a native method called");
  s.t.frames.push_back({kNativeFrameCapacity});
  s.t.nativeBase = s.t.frames.size() - 1;
}

void JniHost::LeaveNative(jobject result) {
  JNIEnv* e = env();
  JniHostFunctions::Scope s(e, "a native method's return", true);
  if (s.t.frames.size() != s.t.nativeBase + 1)
    Error("a native method returned without popping the local frames it pushed");
  Object* keep = result ? s.Use(result, Object::kAny) : nullptr;
  s.PopTo(s.t.nativeBase, keep);
  s.t.nativeBase = 0;
}

void JniHost::Throw(JNIEnv* env, const char* className) {
  JniHostFunctions::Scope s(env, "Throw", true);
  s.t.pending = className;
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
  JniHostFunctions::Scope s(env(), "NewJavaString", true);
  Object o;
  o.text = text;
  return reinterpret_cast<jstring>(s.Track(Add(std::move(o))));
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

void JniHost::FailStringChars(jstring string, bool throws) {
  std::lock_guard<std::mutex> lock(mutex_);
  failing_[string] = throws;
}

std::string JniHost::PendingException() {
  std::lock_guard<std::mutex> lock(mutex_);
  return Current().pending;
}

void JniHost::ClearException() {
  std::lock_guard<std::mutex> lock(mutex_);
  Current().pending.clear();
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
