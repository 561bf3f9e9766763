// Entry point of svchalt.exe.
#include "svchalt.h"

int wmain(int argc, wchar_t** argv) {
  return svcctl::SvchaltMain(svcctl::RealPlatform(), argc, argv);
}
