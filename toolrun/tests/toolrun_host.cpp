// Runs the RunTool operation for real outside an installation: the first
// argument is the CustomActionData; each message the action sends to the
// installer is printed as one line, "INFO: <text>" or "ACTIONDATA: <text>"
// (the progress messages that ask for a cancel are not), and the exit code
// is the action's result (0, 1602, 1603). For the demo and for looking at a
// tool's lines by hand.
//
//   toolrun_host "action=Probe;codes=0,1;cmd=\"C:\\tools\\svchalt.exe\" NoSuch"
//
// toolrun_host <toolrun.dll> --load loads the DLL and calls its RunTool
// export outside any installation (no installer handle: it can read no data
// and returns 1603), prints "RunTool returned <n>" and exits with 0; 1 when
// the DLL or its export cannot be had. The release test puts a signed DLL to
// work this way.
#include <cstdio>
#include <string>

#include "run_tool.h"
#include "standin_installer.h"
#include "wt/output.h"

namespace {

void Print(INSTALLMESSAGE type, const std::wstring& text) {
  const wchar_t* kind = type == INSTALLMESSAGE_ACTIONDATA ? L"ACTIONDATA" : L"INFO";
  wt::WriteWide(stdout, std::wstring(kind) + L": " + text + L"\n");
}

int LoadAndCall(const wchar_t* path) {
  const HMODULE dll = LoadLibraryW(path);
  const auto entry = reinterpret_cast<UINT(WINAPI*)(MSIHANDLE)>(
      reinterpret_cast<void*>(dll ? GetProcAddress(dll, "RunTool") : nullptr));
  const DWORD code = GetLastError();
  if (!entry) {
    wt::WriteWide(stderr, wt::FormatW(L"cannot load RunTool: error %lu\n", code));
    if (dll) FreeLibrary(dll);
    return 1;
  }
  wt::WriteWide(stdout, wt::FormatW(L"RunTool returned %u\n", entry(0)));
  FreeLibrary(dll);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 3 && std::wstring(argv[2]) == L"--load") return LoadAndCall(argv[1]);
  if (argc != 2) {
    wt::WriteWide(stderr, L"usage: toolrun_host <CustomActionData> | <toolrun.dll> --load\n");
    return 2;
  }
  return static_cast<int>(toolrun::RunTool(toolrun::StandInInstaller(argv[1], Print), 1));
}
