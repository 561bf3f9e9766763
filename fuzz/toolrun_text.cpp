// The RunTool custom action's text logic: its CustomActionData grammar over
// the input as text, and its line splitter over the input as the tool's
// output bytes, fed whole and cut in two at a point the first byte picks.
#include <string>
#include <string_view>
#include <vector>

#include "support.h"
#include "toolrun/src/action_data.h"
#include "toolrun/src/lines.h"

namespace {

std::string WithoutLineEnds(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c != '\r' && c != '\n') out += c;
  }
  return out;
}

void CheckGrammar(const std::wstring& data) {
  const toolrun::Parsed parsed = toolrun::ParseActionData(data);
  const toolrun::Request& r = parsed.request;
  FUZZ_CHECK(!r.action.empty());
  if (!parsed.error.empty()) return;
  // What follows "cmd=" is the command line, then the stdin text.
  std::wstring tail = L"cmd=" + r.command;
  if (r.hasStdin) tail += L";stdin=" + r.stdinText;
  FUZZ_CHECK(data.size() >= tail.size() &&
             data.compare(data.size() - tail.size(), tail.size(), tail) == 0);
  FUZZ_CHECK(!r.command.empty() && r.command.find(L";stdin=") == std::wstring::npos);
  FUZZ_CHECK(!r.codes.empty());
  FUZZ_CHECK(r.timeoutSeconds >= 1 && r.timeoutSeconds <= toolrun::kMaxTimeoutSeconds);
  const std::wstring_view program = toolrun::ProgramName(r.command);
  FUZZ_CHECK(program.empty() || r.command.find(program) != std::wstring::npos);
}

std::vector<std::string> Split(std::string_view bytes, std::size_t cut) {
  toolrun::LineSplitter splitter;
  std::vector<std::string> lines;
  splitter.Feed(bytes.substr(0, cut), &lines);
  splitter.Feed(bytes.substr(cut), &lines);
  splitter.Finish(&lines);
  return lines;
}

void CheckLines(std::string_view bytes, std::size_t cut) {
  const std::vector<std::string> lines = Split(bytes, bytes.size());
  FUZZ_CHECK(Split(bytes, cut) == lines);
  std::string joined;
  for (const std::string& line : lines) {
    FUZZ_CHECK(!line.empty() && line.size() <= toolrun::LineSplitter::kMaxLine);
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    // A line ends in a CR only when it is a full part of a longer line.
    FUZZ_CHECK(line.back() != '\r' || line.size() == toolrun::LineSplitter::kMaxLine);
    joined += line;
  }
  // Only line ends are taken away.
  FUZZ_CHECK(WithoutLineEnds(joined) == WithoutLineEnds(bytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  CheckGrammar(fuzz::WideFromBytes(data, size));
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckLines(bytes, size == 0 ? 0 : data[0] % (size + 1));
  return 0;
}
