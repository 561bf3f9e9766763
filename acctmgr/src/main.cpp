#include "operations.h"

int wmain(int argc, wchar_t** argv) {
  acctmgr::Context ctx(acctmgr::RealPlatform());
  return acctmgr::Run(ctx, argc, argv);
}
