// Entry point of svclaunch.exe.
#include "svclaunch.h"

int wmain(int argc, wchar_t** argv) {
  return svcctl::SvclaunchMain(svcctl::RealPlatform(), argc, argv);
}
