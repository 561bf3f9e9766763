// The tool's output bytes cut into lines. No Windows header (fuzzed on the
// build host).
//
// The tools write through the C runtime in text mode, so a line ends in
// "\r\n", or "\r\r\n" where the text already ended in "\r\n". A line feed
// ends a line and every carriage return right before it goes with it; a
// line cut between two reads is joined; what is left at the end is the last
// line. Empty lines are dropped: a log record or a progress text carries
// words. A line longer than kMaxLine bytes goes out in parts of kMaxLine.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace toolrun {

class LineSplitter {
 public:
  static constexpr std::size_t kMaxLine = 4096;

  // Appends to lines each line that bytes complete.
  void Feed(std::string_view bytes, std::vector<std::string>* lines);
  // The end of the output: a last line without an end goes to lines.
  void Finish(std::vector<std::string>* lines);

 private:
  void Emit(std::vector<std::string>* lines);
  std::string pending_;
};

}  // namespace toolrun
