// The control of the planting tests: loads each DLL named on the command
// line by bare name, the way a careless program would, and exits with the
// number that loaded. Run from a folder with planted DLLs, it shows that
// the folder and the Wine overrides of the test really would let a planted
// DLL in, so that a program that does not load them is seen to resist.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  int loaded = 0;
  for (int i = 1; i < argc; ++i) {
    if (LoadLibraryW(argv[i])) ++loaded;
  }
  return loaded;
}
