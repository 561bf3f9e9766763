#include "standin_installer.h"

namespace toolrun {
namespace {

std::wstring g_data;
std::wstring g_field;
void (*g_onMessage)(INSTALLMESSAGE, const std::wstring&) = nullptr;

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

UINT WINAPI SetInteger(MSIHANDLE, UINT, int) { return ERROR_SUCCESS; }

int WINAPI ProcessMessage(MSIHANDLE, INSTALLMESSAGE type, MSIHANDLE) {
  if (g_onMessage && type != INSTALLMESSAGE_PROGRESS) g_onMessage(type, g_field);
  return IDOK;
}

UINT WINAPI CloseRecord(MSIHANDLE) { return ERROR_SUCCESS; }

}  // namespace

Platform StandInInstaller(std::wstring data,
                          void (*onMessage)(INSTALLMESSAGE type, const std::wstring& text)) {
  g_data = std::move(data);
  g_onMessage = onMessage;
  Platform p = RealPlatform();
  p.MsiGetPropertyW = GetProperty;
  p.MsiCreateRecord = CreateRecord;
  p.MsiRecordSetStringW = SetString;
  p.MsiRecordSetInteger = SetInteger;
  p.MsiProcessMessage = ProcessMessage;
  p.MsiCloseHandle = CloseRecord;
  return p;
}

}  // namespace toolrun
