// Test helper: writes what its arguments say and exits with a chosen code.
//   wt_echo EXITCODE [out:TEXT] [err:TEXT] [stdin] [sleep:MS]
// TEXT escapes: \n line feed, \r carriage return. "stdin" copies standard
// input to standard output; "args" prints each argument as [arg]. Output is
// binary: the bytes are exactly these.
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <string>

static void PutRaw(HANDLE h, const std::wstring& text) {
  std::string bytes(text.begin(), text.end());
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

static void Put(HANDLE h, const std::wstring& text) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size()) {
      const wchar_t e = text[++i];
      bytes.push_back(e == L'n' ? '\n' : e == L'r' ? '\r' : static_cast<char>(e));
    } else {
      bytes.push_back(static_cast<char>(text[i]));
    }
  }
  DWORD written = 0;
  WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

int wmain(int argc, wchar_t** argv) {
  const int code = argc > 1 ? _wtoi(argv[1]) : 0;
  for (int i = 2; i < argc; ++i) {
    std::wstring a = argv[i];
    if (a.rfind(L"out:", 0) == 0) Put(GetStdHandle(STD_OUTPUT_HANDLE), a.substr(4));
    else if (a.rfind(L"err:", 0) == 0) Put(GetStdHandle(STD_ERROR_HANDLE), a.substr(4));
    else if (a.rfind(L"sleep:", 0) == 0) Sleep(static_cast<DWORD>(_wtoi(a.c_str() + 6)));
    else if (a == L"stdin") {
      char buf[4096];
      DWORD got = 0, written = 0;
      while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buf, sizeof buf, &got, nullptr) && got)
        WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), buf, got, &written, nullptr);
    } else if (a == L"args") {
      for (int j = 0; j < argc; ++j) {
        PutRaw(GetStdHandle(STD_OUTPUT_HANDLE), std::wstring(L"[") + argv[j] + L"]");
      }
    }
  }
  return code;
}
