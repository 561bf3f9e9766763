// Calls the exports of libRegKit by method name with arguments given as
// text, the way the deployment tool's Java VM would call them, through the
// JNI test host. Shared by the end-to-end tests, regkit_host and the demo.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "wttest/jnihost.h"

namespace regkit_test {

extern const char kExportPrefix[];

// The 27 method names, in the order of the Java class.
std::vector<std::string> MethodNames();

// How many Java arguments method takes; -1 for no such method.
int ArgumentCount(const std::string& method);

// Calls method with its Java arguments as text: numbers for int arguments,
// "true"/"false" for booleans, the text itself for strings, "-null" for a
// null string. The result as text: a number, a quoted string (line feeds
// shown as \n), an array as ["a", null, "c"], or null. Empty for an unknown
// method or a wrong number of arguments.
std::optional<std::string> CallByName(const wttest::JniLibrary& library, wttest::JniHost& host,
                                      const std::string& method,
                                      const std::vector<std::wstring>& args);

// The arguments as the answer line shows them: strings quoted, "-null" as null.
std::string ShowArguments(const std::string& method, const std::vector<std::wstring>& args);

}  // namespace regkit_test
