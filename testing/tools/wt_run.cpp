// Runs one program with this process's standard streams and records its
// whole exit code, which a Unix shell would cut to 8 bits.
//   wt_run EXITCODE_FILE PROGRAM_PATH ARGV0 [ARGS...]
// The child sees the command line ARGV0 ARGS..., each argument quoted as the
// runtime expects. wt_run's own exit code is the child's, or 255 when the
// child could not be started (the reason on standard error).
#include <windows.h>

#include <cstdio>
#include <string>

#include "wttest/process.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fwprintf(stderr, L"usage: wt_run EXITCODE_FILE PROGRAM ARGV0 [ARGS...]\n");
    return 255;
  }
  std::wstring line;
  for (int i = 3; i < argc; ++i) {
    if (i > 3) line.push_back(L' ');
    line += wttest::QuoteArgument(argv[i]);
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessW(argv[2], &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
    std::fwprintf(stderr, L"wt_run: cannot start %ls: error %lu\n", argv[2], GetLastError());
    return 255;
  }
  WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  if (FILE* f = _wfopen(argv[1], L"w")) {
    std::fprintf(f, "%ld\n", static_cast<long>(code));
    std::fclose(f);
  }
  return static_cast<int>(code & 0xFF);
}
