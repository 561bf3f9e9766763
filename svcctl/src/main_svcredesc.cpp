// Entry point of svcredesc.exe.
#include "svcredesc.h"

int wmain(int argc, wchar_t** argv) {
  return svcctl::SvcredescMain(svcctl::RealPlatform(), argc, argv);
}
