// Loads libRegKit into the JNI test host and calls its methods in turn, the
// way the deployment tool's Java VM would, printing each answer.
//
//   regkit_host <dll> <Method> <args...> [<Method> <args...>]...
//
// Each method takes its Java arguments in order: numbers for int arguments,
// true/false for booleans, "-null" for a null string. Each answer is one
// line, Method(args) -> number | "text" | ["a", "b"] | null, printed in
// UTF-8. The library's own message lines appear on standard output before
// the answer of the call that printed them.
#include <cstdio>
#include <string>
#include <vector>

#include "calls.h"
#include "wttest/platform.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: regkit_host <dll> <Method> <args...> [<Method> <args...>]...\n");
    return 2;
  }
  wttest::JniLibrary library(argv[1], regkit_test::kExportPrefix);
  if (!library.loaded()) {
    std::fprintf(stderr, "cannot load %s: error %lu\n", wttest::Narrow(argv[1]).c_str(),
                 static_cast<unsigned long>(library.loadError()));
    return 2;
  }
  wttest::JniHost host;
  for (int i = 2; i < argc;) {
    const std::string method = wttest::Narrow(argv[i]);
    const int count = regkit_test::ArgumentCount(method);
    if (count < 0 || i + 1 + count > argc) {
      std::fprintf(stderr, count < 0 ? "no method %s\n" : "%s takes %d arguments\n", method.c_str(),
                   count);
      return 2;
    }
    const std::vector<std::wstring> args(argv + i + 1, argv + i + 1 + count);
    i += 1 + count;
    const auto answer = regkit_test::CallByName(library, host, method, args);
    // The library flushes each of its lines; flushing each answer keeps the
    // two in the order they happened.
    std::printf("%s(%s) -> %s\n", method.c_str(), regkit_test::ShowArguments(method, args).c_str(),
                answer->c_str());
    std::fflush(stdout);
  }
  if (host.OutstandingChars() != 0 || !host.Errors().empty()) {
    std::fprintf(stderr, "JNI misuse: %d strings not released, %u errors\n",
                 host.OutstandingChars(), static_cast<unsigned>(host.Errors().size()));
    return 1;
  }
  return 0;
}
