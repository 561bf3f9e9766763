// Runs the RunTool operation for real outside an installation: the first
// argument is the CustomActionData; each message the action sends to the
// installer is printed as one line, "INFO: <text>" or "ACTIONDATA: <text>",
// and the exit code is the action's result (0, 1602, 1603). For the demo and
// for looking at a tool's lines by hand.
//
//   toolrun_host "action=Probe;codes=0,1;cmd=\"C:\\tools\\svchalt.exe\" NoSuch"
#include <cstdio>
#include <string>

#include "run_tool.h"
#include "wt/output.h"

namespace {

std::wstring g_data;
std::wstring g_field;

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

UINT WINAPI SetString(MSIHANDLE, UINT field, LPCWSTR text) {
  if (field == 1) g_field = text;
  return ERROR_SUCCESS;
}

int WINAPI ProcessMessage(MSIHANDLE, INSTALLMESSAGE type, MSIHANDLE) {
  const wchar_t* kind = type == INSTALLMESSAGE_ACTIONDATA ? L"ACTIONDATA" : L"INFO";
  wt::WriteWide(stdout, std::wstring(kind) + L": " + g_field + L"\n");
  return IDOK;
}

UINT WINAPI CloseRecord(MSIHANDLE) { return ERROR_SUCCESS; }

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    wt::WriteWide(stderr, L"usage: toolrun_host <CustomActionData>\n");
    return 2;
  }
  g_data = argv[1];
  toolrun::Platform p = toolrun::RealPlatform();
  p.MsiGetPropertyW = GetProperty;
  p.MsiCreateRecord = CreateRecord;
  p.MsiRecordSetStringW = SetString;
  p.MsiProcessMessage = ProcessMessage;
  p.MsiCloseHandle = CloseRecord;
  return static_cast<int>(toolrun::RunTool(p, 1));
}
