#include "calls.h"

#include <cwchar>

#include "wttest/platform.h"

namespace regkit_test {

const char kExportPrefix[] = "Java_com_tev_tools_deployjni_regkit_RegKitAPIDef_";

namespace {

// Java arguments after the receiver (i int, s String, b boolean), then the
// result after '>' (i int, l long, s String, a String[]).
struct Method {
  const char* name;
  const char* signature;
};

const Method kMethods[] = {
    {"RegKeyExists32", "is>i"},
    {"RegKeyExists64", "is>i"},
    {"CreateRegKey", "is>i"},
    {"CreateRegKeyWow64", "is>i"},
    {"CreateRegKey32", "is>i"},
    {"RegQueryValueEx", "iss>s"},
    {"RegQueryValueExWow64", "iss>s"},
    {"RegQueryValue32", "iss>s"},
    {"RegQueryMultiValue", "issb>s"},
    {"RegQueryDwordValue", "iss>i"},
    {"RegQueryDwordValue32", "iss>i"},
    {"RegQueryType64", "iss>l"},
    {"RegQueryType32", "iss>l"},
    {"valuesForKey64", "is>a"},
    {"valuesForKey32", "is>a"},
    {"childrenForKey64", "is>a"},
    {"childrenForKey32", "is>a"},
    {"SetRegValue", "isssi>i"},
    {"SetRegValueWow64", "isssi>i"},
    {"SetRegValue32", "isssi>i"},
    {"SetRegDwordValue", "issii>i"},
    {"SetRegDwordValue32", "issii>i"},
    {"DelRegkeyValue", "issb>i"},
    {"DelRegKey32BitOS", "is>i"},
    {"DelRegKeyWOW32Bit", "is>i"},
    {"DelRegKeyWOW64Bit", "is>i"},
    {"DelRegTree", "is>i"},
};

const Method* Find(const std::string& name) {
  for (const Method& m : kMethods)
    if (name == m.name) return &m;
  return nullptr;
}

std::string Quote(const std::wstring& text) {
  std::string shown = "\"";
  for (char c : wttest::Narrow(text)) shown += c == '\n' ? std::string("\\n") : std::string(1, c);
  return shown + "\"";
}

std::string ShowString(wttest::JniHost& host, jobject s) {
  const auto text = host.Text(s);
  return text ? Quote(*text) : "null";
}

std::string ShowArray(wttest::JniHost& host, jobject a) {
  const auto elements = host.StringArray(a);
  if (!elements) return "null";
  std::string shown = "[";
  for (size_t i = 0; i < elements->size(); ++i)
    shown += (i ? ", " : "") + ((*elements)[i] ? Quote(*(*elements)[i]) : "null");
  return shown + "]";
}

}  // namespace

std::vector<std::string> MethodNames() {
  std::vector<std::string> names;
  for (const Method& m : kMethods) names.push_back(m.name);
  return names;
}

int ArgumentCount(const std::string& method) {
  const Method* m = Find(method);
  return m ? static_cast<int>(std::string(m->signature).find('>')) : -1;
}

std::string ShowArguments(const std::string& method, const std::vector<std::wstring>& args) {
  const Method* m = Find(method);
  std::string shown;
  for (size_t i = 0; i < args.size(); ++i) {
    const bool text = m && m->signature[i] == 's' && args[i] != L"-null";
    shown += (i ? ", " : "") + (text ? Quote(args[i]) : wttest::Narrow(args[i]));
  }
  return shown;
}

std::optional<std::string> CallByName(const wttest::JniLibrary& library, wttest::JniHost& host,
                                      const std::string& method,
                                      const std::vector<std::wstring>& args) {
  const Method* m = Find(method);
  if (!m || ArgumentCount(method) != static_cast<int>(args.size())) return std::nullopt;
  // Arguments converted in order, so the host's strings are made before the call.
  auto s = [&](size_t i) -> jstring {
    return args[i] == L"-null" ? nullptr : host.NewJavaString(args[i]);
  };
  auto n = [&](size_t i) { return static_cast<jint>(std::wcstol(args[i].c_str(), nullptr, 0)); };
  auto b = [&](size_t i) -> jboolean { return args[i] == L"true" ? JNI_TRUE : JNI_FALSE; };
  const std::string sig = m->signature;
  const char* name = m->name;
  if (sig == "is>i") return std::to_string(library.Call<jint>(host, name, n(0), s(1)));
  if (sig == "is>a") return ShowArray(host, library.Call<jobjectArray>(host, name, n(0), s(1)));
  jstring path = s(1), value = s(2);
  if (sig == "iss>s") return ShowString(host, library.Call<jstring>(host, name, n(0), path, value));
  if (sig == "iss>i") return std::to_string(library.Call<jint>(host, name, n(0), path, value));
  if (sig == "iss>l") return std::to_string(library.Call<jlong>(host, name, n(0), path, value));
  if (sig == "issb>s")
    return ShowString(host, library.Call<jstring>(host, name, n(0), path, value, b(3)));
  if (sig == "issb>i")
    return std::to_string(library.Call<jint>(host, name, n(0), path, value, b(3)));
  if (sig == "isssi>i")
    return std::to_string(library.Call<jint>(host, name, n(0), path, value, s(3), n(4)));
  return std::to_string(library.Call<jint>(host, name, n(0), path, value, n(3), n(4)));
}

}  // namespace regkit_test
