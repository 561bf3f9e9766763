#include "action_data.h"

#include <algorithm>

namespace toolrun {
namespace {

constexpr std::wstring_view kCmd = L"cmd=";
constexpr std::wstring_view kStdin = L";stdin=";

// A decimal number from 0 to max, digits only.
bool ParseNumber(std::wstring_view text, std::uint64_t max, std::uint32_t* out) {
  if (text.empty() || text.size() > 10) return false;
  std::uint64_t value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    value = value * 10 + static_cast<std::uint64_t>(c - L'0');
  }
  if (value > max) return false;
  *out = static_cast<std::uint32_t>(value);
  return true;
}

bool ParseCodes(std::wstring_view text, std::vector<std::uint32_t>* out) {
  std::vector<std::uint32_t> codes;
  for (;;) {
    const size_t comma = text.find(L',');
    std::uint32_t code = 0;
    if (!ParseNumber(text.substr(0, comma), 0xFFFFFFFFu, &code)) return false;
    codes.push_back(code);
    if (comma == std::wstring_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  *out = std::move(codes);
  return true;
}

std::wstring Quoted(std::wstring_view text) { return L"\"" + std::wstring(text) + L"\""; }

}  // namespace

Parsed ParseActionData(std::wstring_view data) {
  Parsed parsed;
  Request& r = parsed.request;
  bool seenAction = false, seenCodes = false, seenTimeout = false;
  while (data.substr(0, kCmd.size()) != kCmd) {
    if (data.empty()) {
      parsed.error = L"no \"cmd=\"";
      return parsed;
    }
    const size_t end = data.find(L';');
    const std::wstring_view item = data.substr(0, end);
    data.remove_prefix(end == std::wstring_view::npos ? data.size() : end + 1);
    const size_t eq = item.find(L'=');
    if (eq == std::wstring_view::npos) {
      if (item == L"secret" && !r.secret) {
        r.secret = true;
        continue;
      }
      // Not quoted: a stray item may be a password put in the wrong place.
      parsed.error = item == L"secret" ? L"\"secret\" given twice"
                                       : L"an item that is neither key=value nor \"secret\"";
      return parsed;
    }
    const std::wstring_view key = item.substr(0, eq);
    const std::wstring_view value = item.substr(eq + 1);
    bool* seen = key == L"action"    ? &seenAction
                 : key == L"codes"   ? &seenCodes
                 : key == L"timeout" ? &seenTimeout
                                     : nullptr;
    if (!seen) {
      parsed.error = L"unknown key " + Quoted(key);
      return parsed;
    }
    if (*seen) {
      parsed.error = Quoted(key) + L" given twice";
      return parsed;
    }
    *seen = true;
    if (key == L"action") {
      if (value.empty()) {
        parsed.error = L"empty action name";
        return parsed;
      }
      r.action = value;
    } else if (key == L"codes") {
      if (!ParseCodes(value, &r.codes)) {
        parsed.error =
            L"bad code list " + Quoted(value) + L" (decimal exit codes, comma-separated)";
        return parsed;
      }
    } else if (!ParseNumber(value, kMaxTimeoutSeconds, &r.timeoutSeconds) ||
               r.timeoutSeconds == 0) {
      parsed.error = L"bad timeout " + Quoted(value) + L" (1 to 86400 seconds)";
      return parsed;
    }
  }
  data.remove_prefix(kCmd.size());
  const size_t in = data.find(kStdin);
  r.command = data.substr(0, in);
  if (in != std::wstring_view::npos) {
    r.hasStdin = true;
    r.stdinText = data.substr(in + kStdin.size());
  }
  if (r.command.empty()) parsed.error = L"empty command line";
  return parsed;
}

std::wstring_view ProgramName(std::wstring_view command) {
  std::wstring_view program;
  if (!command.empty() && command[0] == L'"') {
    program = command.substr(1, command.find(L'"', 1) - 1);
  } else {
    program = command.substr(0, command.find_first_of(L" \t"));
  }
  const size_t slash = program.find_last_of(L"\\/");
  return slash == std::wstring_view::npos ? program : program.substr(slash + 1);
}

bool IsSuccessCode(const Request& request, std::uint32_t code) {
  return std::find(request.codes.begin(), request.codes.end(), code) != request.codes.end();
}

std::wstring CodeList(const std::vector<std::uint32_t>& codes) {
  std::wstring text;
  for (std::uint32_t code : codes) {
    if (!text.empty()) text += L',';
    text += std::to_wstring(code);
  }
  return text;
}

}  // namespace toolrun
