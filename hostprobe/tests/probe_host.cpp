// Loads libHostProbe into the JNI test host and prints what it answers, the
// way the deployment tool's Java VM would call it.
//
//   probe_host <dll>                      every host question
//   probe_host <dll> <Method> [args...]   one method; "-null" passes a null
//                                         string, numbers go to int arguments
//
// Each answer is one line: Method(args) -> "text" | null | number. The
// library's own log entries appear on standard output before the answer of
// the call that wrote them. SystemShutdown is never called: it would restart
// the machine.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "wttest/jnihost.h"
#include "wttest/platform.h"

namespace {

const char kPrefix[] = "Java_com_tev_tools_deployjni_hostprobe_HostProbeAPIDef_";

struct Method {
  const char* name;
  char result;       // 's' String, 'i' int, 'l' long
  const char* args;  // one letter per Java argument: 's' String, 'i' int
};

const Method kMethods[] = {
    {"GetHostProbeVersion", 's', ""}, {"GetWinVerStr", 's', ""},
    {"GetArchitectureWin", 'i', ""},  {"isWow64", 'i', ""},
    {"getSysDr", 's', ""},            {"getSystemDirectory", 's', ""},
    {"GetCPULevelWin", 'i', ""},      {"GetCPUModelWin", 'i', ""},
    {"GetCPUSteppingWin", 'i', ""},   {"GetCPUNumWin", 'i', ""},
    {"GetPhysicalMemory", 'l', ""},   {"WinGetComputerName", 's', ""},
    {"Copy64NoRedirect", 'i', "ss"},  {"Delete64NoRedirect", 'i', "s"},
    {"MoveFileEx", 'i', "ssi"},       {"GetShortPath", 's', "s"},
    {"IsFileWriteLocked", 'i', "s"},  {"registerFont", 'i', "s"},
    {"unregisterFont", 'i', "s"},     {"registerEnvironmentChange", 'i', ""},
};

std::string Show(wttest::JniHost& host, jstring s) {
  auto text = host.Text(s);
  return text ? "\"" + wttest::Narrow(*text) + "\"" : "null";
}

int CallAndPrint(const wttest::JniLibrary& lib, wttest::JniHost& host, const Method& m,
                 const std::vector<std::wstring>& args) {
  if (std::string(m.args).size() != args.size()) {
    std::fprintf(stderr, "%s takes %u arguments\n", m.name, static_cast<unsigned>(std::string(m.args).size()));
    return 2;
  }
  std::string shown;
  auto str = [&](size_t i) -> jstring {
    shown += (i ? ", " : "") + (args[i] == L"-null" ? std::string("null") : "\"" + wttest::Narrow(args[i]) + "\"");
    return args[i] == L"-null" ? nullptr : host.NewJavaString(args[i]);
  };
  auto num = [&](size_t i) -> jint {
    shown += (i ? ", " : "") + wttest::Narrow(args[i]);
    return static_cast<jint>(std::wcstol(args[i].c_str(), nullptr, 0));
  };
  std::string answer;
  const std::string sig = m.args;
  if (sig.empty()) {
    if (m.result == 's') answer = Show(host, lib.Call<jstring>(host, m.name));
    if (m.result == 'i') answer = std::to_string(lib.Call<jint>(host, m.name));
    if (m.result == 'l') answer = std::to_string(lib.Call<jlong>(host, m.name));
  } else if (sig == "s") {
    jstring a = str(0);
    answer = m.result == 's' ? Show(host, lib.Call<jstring>(host, m.name, a))
                             : std::to_string(lib.Call<jint>(host, m.name, a));
  } else if (sig == "ss") {
    jstring a = str(0);
    jstring b = str(1);
    answer = std::to_string(lib.Call<jint>(host, m.name, a, b));
  } else if (sig == "ssi") {
    jstring a = str(0);
    jstring b = str(1);
    jint c = num(2);
    answer = std::to_string(lib.Call<jint>(host, m.name, a, b, c));
  }
  // The library writes its log through the same runtime stream: flushing
  // after each call keeps its entries before the answer they belong to.
  std::printf("%s(%s) -> %s\n", m.name, shown.c_str(), answer.c_str());
  std::fflush(stdout);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: probe_host <dll> [Method [args...]]\n");
    return 2;
  }
  wttest::JniLibrary lib(argv[1], kPrefix);
  if (!lib.loaded()) {
    std::fprintf(stderr, "cannot load %s: error %lu\n", wttest::Narrow(argv[1]).c_str(),
                 static_cast<unsigned long>(lib.loadError()));
    return 2;
  }
  wttest::JniHost host;
  int rc = 0;
  if (argc == 2) {
    for (const Method& m : kMethods) {
      if (m.args[0] == '\0' && std::string(m.name) != "registerEnvironmentChange")
        rc |= CallAndPrint(lib, host, m, {});
    }
  } else {
    const std::string name = wttest::Narrow(argv[2]);
    if (name == "SystemShutdown") {
      std::fprintf(stderr, "SystemShutdown is not called: it would restart the machine\n");
      return 2;
    }
    const Method* found = nullptr;
    for (const Method& m : kMethods)
      if (name == m.name) found = &m;
    if (!found) {
      std::fprintf(stderr, "no method %s\n", name.c_str());
      return 2;
    }
    rc = CallAndPrint(lib, host, *found, std::vector<std::wstring>(argv + 3, argv + argc));
  }
  if (host.OutstandingChars() != 0 || !host.Errors().empty()) {
    std::fprintf(stderr, "JNI misuse: %d strings not released, %u errors\n",
                 host.OutstandingChars(), static_cast<unsigned>(host.Errors().size()));
    rc = 1;
  }
  return rc;
}
