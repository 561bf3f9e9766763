// The custom action's one entry point, bound to its operation with the real
// platform table. The package calls it by this undecorated name (toolrun.def).
#include "run_tool.h"

extern "C" UINT __stdcall RunTool(MSIHANDLE install) {
  return toolrun::RunTool(toolrun::RealPlatform(), install);
}
