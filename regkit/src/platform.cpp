#include "platform.h"

#include <cstdio>

#include "wt/output.h"

namespace regkit {

namespace {

// The line was formatted by the runtime's wide printf family; here it goes
// out through the runtime's standard-output stream in text mode (so "\n"
// arrives as "\r\n"), converted whole to the stream's code page. Handing the
// wide text to the runtime instead would convert it in the "C" locale, which
// silently drops the rest of the line, its line end included, at the first
// character above U+00FF of a key path or value name. One write per line
// keeps lines of concurrent calls whole; the flush puts each line out in the
// order of the calls, beside the Java side's own output.
void WriteToStandardOutput(const wchar_t* line) { wt::WriteWide(stdout, line); }

const Platform kReal = {
    &::RegOpenKeyExW,    &::RegCreateKeyExW,     &::RegCloseKey,      &::RegQueryValueExW,
    &::RegQueryInfoKeyA, &::RegEnumValueW,       &::RegEnumKeyExW,    &::RegSetValueExW,
    &::RegDeleteValueW,  &::RegDeleteKeyW,       &::GetModuleHandleA, &::GetProcAddress,
    &::SHDeleteKeyW,     &WriteToStandardOutput,
};

}  // namespace

const Platform& RealPlatform() { return kReal; }

}  // namespace regkit
