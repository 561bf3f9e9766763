#include "lines.h"

namespace toolrun {

void LineSplitter::Emit(std::vector<std::string>* lines) {
  size_t end = pending_.size();
  while (end > 0 && pending_[end - 1] == '\r') --end;
  if (end > 0) lines->emplace_back(pending_, 0, end);
  pending_.clear();
}

void LineSplitter::Feed(std::string_view bytes, std::vector<std::string>* lines) {
  for (char c : bytes) {
    if (c == '\n') {
      Emit(lines);
    } else {
      // A full part goes out as it is: its carriage returns are no line end.
      if (pending_.size() == kMaxLine) {
        lines->push_back(pending_);
        pending_.clear();
      }
      pending_ += c;
    }
  }
}

void LineSplitter::Finish(std::vector<std::string>* lines) { Emit(lines); }

}  // namespace toolrun
