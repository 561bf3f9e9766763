// What the start-to-exit benchmarks share: a millisecond clock, the median,
// and the file their programs write to.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace bench {

// Milliseconds from an arbitrary start, from the performance counter.
inline double NowMs() {
  static const LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// An inheritable handle to a new temporary file, deleted when it is closed:
// the programs' output goes there, never to /dev/null (under Wine a write to
// it costs more than a whole short program). INVALID_HANDLE_VALUE on failure.
inline HANDLE OpenSink() {
  wchar_t folder[MAX_PATH + 1] = {}, path[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"wtb", 0, path);
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa, CREATE_ALWAYS,
                     FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

// Milliseconds from CreateProcessW(application, commandLine, ..., flags) to
// the end of the process, its standard output and error on sink; negative
// when it could not be started.
inline double TimeProcess(const wchar_t* application, std::wstring commandLine, HANDLE sink,
                          DWORD flags) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = sink;
  si.hStdError = sink;
  PROCESS_INFORMATION pi{};
  const double start = NowMs();
  if (!CreateProcessW(application, &commandLine[0], nullptr, nullptr, TRUE, flags, nullptr, nullptr,
                      &si, &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  const double elapsed = NowMs() - start;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return elapsed;
}

}  // namespace bench
