// The acctmgr driver: one command per run, usage on code 1, and the closing
// line on every path.
#include "operations.h"
#include "options.h"

namespace acctmgr {

int Run(Context& ctx, int argc, wchar_t** argv) {
  // The bridge and the toolkit are found by name, and the libraries they
  // load by theirs; the current folder of an elevated installer may hold
  // anybody's files. So, before any library is loaded: SearchPathW looks
  // there only after the system folders, and the library loader not at all.
  // Should either call fail, the search stays as the system set it.
  ctx.p.SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
  ctx.p.SetDllDirectoryW(L"");

  // Read and kept; no command changes its output for it.
  wchar_t verbose[2048];
  ctx.verbose = ctx.p.GetEnvironmentVariableW(L"ACCTMGR_VERBOSE", verbose, 2048) != 0;

  const wchar_t* program = argc > 0 && argv[0] ? argv[0] : L"";
  int code = kUsage;
  if (argc > 1) {
    switch (ParseCommand(argv[1])) {
      case Command::AddUserRights:
        code = AddUserRights(ctx, argc, argv);
        break;
      case Command::CheckPassword:
        code = CheckPassword(ctx, argc, argv, LOGON32_LOGON_BATCH);
        break;
      case Command::CheckNetworkPassword:
        code = CheckPassword(ctx, argc, argv, LOGON32_LOGON_NETWORK);
        break;
      case Command::CheckGroup:
        code = CheckUserGroup(ctx, argc, argv);
        break;
      case Command::CheckAdmin:
        code = CheckUserAdmin(ctx);
        break;
      default:
        code = kUsage;
        break;
    }
  }
  if (code == kUsage) PrintUsage(ctx, program);
  PrintClosingLine(ctx, program, code);
  return code;
}

}  // namespace acctmgr
