// What a RunTool action is asked to do: its CustomActionData, parsed. No
// Windows header, so the grammar also compiles (and is fuzzed) on the
// build host.
//
//   [action=NAME;][codes=N[,N...];][timeout=SECONDS;][secret;]cmd=COMMAND LINE[;stdin=TEXT]
//
// Keys are lower case and matched exactly, each given at most once, in any
// order before cmd=. The command line runs from after "cmd=" to the first
// ";stdin=" or the end; the stdin text is everything after that ";stdin="
// (it may hold ';' and '=').
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace toolrun {

// The prefix of the log lines when the data names no action.
inline constexpr wchar_t kDefaultAction[] = L"RunTool";
// Long enough for a service start that runs into its own time-outs.
inline constexpr std::uint32_t kDefaultTimeoutSeconds = 600;
inline constexpr std::uint32_t kMaxTimeoutSeconds = 86400;

struct Request {
  std::wstring action = kDefaultAction;
  std::vector<std::uint32_t> codes = {0};  // the exit codes that mean success
  std::uint32_t timeoutSeconds = kDefaultTimeoutSeconds;
  bool secret = false;  // the command line is never logged
  std::wstring command;
  bool hasStdin = false;
  std::wstring stdinText;  // never logged
};

struct Parsed {
  Request request;
  // Empty when the data is well formed; else why not, in words that never
  // quote a value that could be secret. request.action is already the
  // data's own when the error comes after action=.
  std::wstring error;
};

Parsed ParseActionData(std::wstring_view data);

// The file name of the command line's program (its first token, quoted or
// not, after the last '\' or '/'); empty for an empty command line.
std::wstring_view ProgramName(std::wstring_view command);

bool IsSuccessCode(const Request& request, std::uint32_t code);

// The success codes as the data gives them: "0,502".
std::wstring CodeList(const std::vector<std::uint32_t>& codes);

}  // namespace toolrun
