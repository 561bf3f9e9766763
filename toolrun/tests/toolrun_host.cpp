// Runs the RunTool operation for real outside an installation: the first
// argument is the CustomActionData; each message the action sends to the
// installer is printed as one line, "INFO: <text>" or "ACTIONDATA: <text>"
// (the progress messages that ask for a cancel are not), and the exit code
// is the action's result (0, 1602, 1603). For the demo and for looking at a
// tool's lines by hand.
//
//   toolrun_host "action=Probe;codes=0,1;cmd=\"C:\\tools\\svchalt.exe\" NoSuch"
#include <cstdio>
#include <string>

#include "run_tool.h"
#include "stub_installer.h"
#include "wt/output.h"

namespace {

void Print(INSTALLMESSAGE type, const std::wstring& text) {
  const wchar_t* kind = type == INSTALLMESSAGE_ACTIONDATA ? L"ACTIONDATA" : L"INFO";
  wt::WriteWide(stdout, std::wstring(kind) + L": " + text + L"\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    wt::WriteWide(stderr, L"usage: toolrun_host <CustomActionData>\n");
    return 2;
  }
  return static_cast<int>(toolrun::RunTool(toolrun::StubInstaller(argv[1], Print), 1));
}
