#include "report.h"

#include "wt/output.h"
#include "wt/syserror.h"
#include "wt/system_proc.h"

namespace svcdefine {

std::wstring CatalogueText(int id) {
  // user32 is bound on first use, so that a usage run never loads it.
  static const auto loadString =
      wt::SystemProc<decltype(&::LoadStringW)>(L"user32.dll", "LoadStringW");
  wchar_t buffer[2048];
  const int length = loadString
                         ? loadString(GetModuleHandleW(nullptr), static_cast<UINT>(id), buffer,
                                      static_cast<int>(sizeof buffer / sizeof buffer[0]))
                         : 0;
  return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

void PrintMessage(const Platform& platform, int id) {
  platform.Write(wt::FormatW(L"%ls\n", CatalogueText(id).c_str()));
}

void PrintErrorReport(const Platform& platform, int id, DWORD code) {
  PrintMessage(platform, id);
  // FORMAT_MESSAGE_ALLOCATE_BUFFER | IGNORE_INSERTS | FROM_SYSTEM in the
  // user's default language; the buffer is released inside.
  const std::wstring text = wt::SystemMessageW(code);
  if (!text.empty()) platform.Write(text);
}

}  // namespace svcdefine
