// Linked into every test executable (object library wtquietprinter), this
// keeps Wine's desktop process off the test's standard error.
//
// Under Wine, the first program that needs a desktop window (a broadcast, a
// font change, a COM apartment) starts explorer.exe /desktop and hands it the
// program's standard error handle, and that process lives on while any
// program uses the desktop. Started by a test, it would hold CTest's pipe
// open: CTest then waits for the test's output until the time-out, long
// after the test has passed. The process's standard error handle, which only
// processes started later see, becomes NUL; the C runtime keeps the handle
// it took at start-up, so the test's own output to stderr still arrives.
#include <windows.h>

namespace {

bool UnderWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

const bool guarded = [] {
  if (!UnderWine()) return false;
  HANDLE nul = CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  return nul != INVALID_HANDLE_VALUE && SetStdHandle(STD_ERROR_HANDLE, nul);
}();

}  // namespace
