#include "say.h"

#include <cstdarg>
#include <string>

#include "wt/output.h"

namespace regkit {

void Say(const Platform& p, const wchar_t* format, ...) {
  std::va_list args;
  va_start(args, format);
  const std::wstring line = wt::VFormatW(format, args);
  va_end(args);
  p.WriteMessage(line.c_str());
}

}  // namespace regkit
