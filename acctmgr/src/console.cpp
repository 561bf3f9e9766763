#include "console.h"

#include "wt/output.h"

namespace acctmgr {

std::wstring FormatText(const Context& ctx, DWORD id, DWORD flags, const wchar_t* const* args) {
  // A system text may carry inserts of its own (%1); with no arguments to
  // fill them it is printed as it stands rather than failing.
  if (args == nullptr && (flags & FORMAT_MESSAGE_ARGUMENT_ARRAY)) flags |= FORMAT_MESSAGE_IGNORE_INSERTS;
  wchar_t* text = nullptr;
  const DWORD length = ctx.p.FormatMessageW(
      flags | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, id,
      MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t*>(&text), 0,
      reinterpret_cast<va_list*>(const_cast<wchar_t**>(args)));
  std::wstring result = (length && text) ? std::wstring(text, length) : std::wstring();
  if (text) ctx.p.LocalFree(text);
  return result;
}

namespace {

void EnsureErrorPrefix(Context& ctx) {
  if (ctx.errorPrefixLength != 0) return;
  std::wstring text = FormatText(ctx, MSG_ERROR_PREFIX, kPrefixFlags, nullptr);
  // The entry ends in a line break, which the prefix leaves out.
  if (text.size() >= 2) text.resize(text.size() - 2);
  if (text.size() >= sizeof ctx.errorPrefix / sizeof ctx.errorPrefix[0]) return;
  text.copy(ctx.errorPrefix, text.size());
  ctx.errorPrefix[text.size()] = L'\0';
  ctx.errorPrefixLength = text.size();
}

}  // namespace

void ReportError(Context& ctx, DWORD code, const wchar_t* const* args) {
  EnsureErrorPrefix(ctx);
  const bool catalogue = code >= 0xC0020001u;
  std::wstring text = FormatText(ctx, code, kTextFlags, catalogue ? args : nullptr);
  // A code the system has no text for still ends its line.
  if (text.empty()) text = L"\r\n";
  const int printed = static_cast<int>(code);  // identifiers print as negative numbers
  std::wstring line =
      (!catalogue && args != nullptr)
          ? wt::FormatW(L"%ls %d %ls : %ls", ctx.errorPrefix, printed, args[0], text.c_str())
          : wt::FormatW(L"%ls %d %ls", ctx.errorPrefix, printed, text.c_str());
  ctx.p.WriteWide(Stream::Err, line);
}

void ShowMessage(Context& ctx, DWORD id, const wchar_t* const* args, Stream stream) {
  ctx.p.WriteWide(stream, FormatText(ctx, id, kTextFlags, args));
}

void PrintUsage(Context& ctx, const wchar_t* program) {
  const wchar_t* args[] = {program};
  for (DWORD id = MSG_USAGE_01; id <= MSG_USAGE_19; ++id) {
    ctx.p.WriteWide(Stream::Out, FormatText(ctx, id, kUsageFlags, args));
  }
}

void PrintClosingLine(Context& ctx, const wchar_t* program, int code) {
  const std::wstring decimal = wt::FormatW(L"%d", code);
  const wchar_t* args[] = {program, decimal.c_str()};
  ShowMessage(ctx, MSG_EXITING, args, Stream::Err);
}

}  // namespace acctmgr
