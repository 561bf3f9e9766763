// A function of a system DLL, bound when a program first needs it.
//
// For the DLLs that only some commands use: a program that imports them pays
// for loading them (and everything they load) on every start, usage text
// included. Bound on first use, a run that never reaches such a call never
// loads the DLL.
//
//   static const auto fn = wt::SystemProc<decltype(&::LoadStringW)>(L"user32.dll", "LoadStringW");
//   if (!fn) ...   // the DLL or the function is missing
#pragma once

#include <windows.h>

namespace wt {

// The address of `name` in the system DLL `dll` (a bare file name), loaded
// from the system folder only, never from the program's folder or the
// search path. Null, with the last error set, when either is missing. The
// DLL stays loaded for the rest of the process.
FARPROC SystemProcAddress(const wchar_t* dll, const char* name);

template <typename Fn>
Fn SystemProc(const wchar_t* dll, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(SystemProcAddress(dll, name)));
}

}  // namespace wt
