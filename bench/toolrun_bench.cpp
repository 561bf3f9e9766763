// What the RunTool custom action adds to a tool's start-to-exit time.
//
//   toolrun_bench <runs> <command line>
//
// Runs the command line <runs> times directly (standard output and error to
// a temporary file, no console window) and <runs> times through the RunTool
// operation (the real process, pipe and job calls; the installer's calls
// stubbed to do nothing), in pairs, so both see the same machine; prints the
// median time of each, their ratio and the median of the pairs' ratios. One
// untimed warm-up run of each first.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "run_tool.h"

namespace {

double Now() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

std::wstring g_data;

UINT WINAPI GetProperty(MSIHANDLE, LPCWSTR, LPWSTR value, LPDWORD size) {
  if (*size <= g_data.size()) {
    *size = static_cast<DWORD>(g_data.size());
    return ERROR_MORE_DATA;
  }
  g_data.copy(value, g_data.size());
  value[g_data.size()] = L'\0';
  *size = static_cast<DWORD>(g_data.size());
  return ERROR_SUCCESS;
}
MSIHANDLE WINAPI CreateRecord(UINT) { return 1; }
UINT WINAPI SetString(MSIHANDLE, UINT, LPCWSTR) { return ERROR_SUCCESS; }
int WINAPI ProcessMessage(MSIHANDLE, INSTALLMESSAGE, MSIHANDLE) { return IDOK; }
UINT WINAPI CloseRecord(MSIHANDLE) { return ERROR_SUCCESS; }

// Milliseconds from CreateProcessW to the end of the process; negative when
// it could not be started.
double Direct(std::wstring commandLine, HANDLE sink) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = sink;
  si.hStdError = sink;
  PROCESS_INFORMATION pi{};
  const double start = Now();
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &si, &pi))
    return -1;
  WaitForSingleObject(pi.hProcess, INFINITE);
  const double elapsed = Now() - start;
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return elapsed;
}

double Through(const toolrun::Platform& p) {
  const double start = Now();
  toolrun::RunTool(p, 1);
  return Now() - start;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fputs("usage: toolrun_bench <runs> <command line>\n", stderr);
    return 2;
  }
  const int runs = std::max(1, _wtoi(argv[1]));
  const std::wstring commandLine = argv[2];
  // Every exit code counts as success: the tool's own verdict is not timed.
  g_data = L"action=Bench;cmd=" + commandLine;
  toolrun::Platform p = toolrun::RealPlatform();
  p.MsiGetPropertyW = GetProperty;
  p.MsiCreateRecord = CreateRecord;
  p.MsiRecordSetStringW = SetString;
  p.MsiProcessMessage = ProcessMessage;
  p.MsiCloseHandle = CloseRecord;

  wchar_t folder[MAX_PATH + 1] = {}, path[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH, folder);
  GetTempFileNameW(folder, L"wtb", 0, path);
  SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
  HANDLE sink = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                            CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (sink == INVALID_HANDLE_VALUE) return 3;

  if (Direct(commandLine, sink) < 0) {
    std::printf("%ls could not be started\n", commandLine.c_str());
    CloseHandle(sink);
    return 1;
  }
  Through(p);
  std::vector<double> direct, through, ratios;
  for (int i = 0; i < runs; ++i) {
    const double d = Direct(commandLine, sink);
    const double t = Through(p);
    direct.push_back(d);
    through.push_back(t);
    ratios.push_back(d > 0 ? t / d : 0);
  }
  CloseHandle(sink);
  const double md = Median(direct), mt = Median(through);
  std::printf("%ls, %d pairs\n", commandLine.c_str(), runs);
  std::printf("%-28s %10.1f ms\n", "direct (median)", md);
  std::printf("%-28s %10.1f ms\n", "through RunTool (median)", mt);
  std::printf("%-28s %10.2f\n", "ratio of the medians", md > 0 ? mt / md : 0.0);
  std::printf("%-28s %10.2f\n", "median of the pairs' ratios", Median(ratios));
  return 0;
}
