// The control of the planting tests: loads each DLL named on the command
// line by bare name, the way a careless program would, and exits with the
// number that loaded. Run from a folder with planted DLLs, it shows that
// the folder and the Wine overrides of the test really would let a planted
// DLL in, so that a program that does not load them is seen to resist.
//
// With --system-only first it restricts its DLL search to the system folder
// as the archive's programs do, so that only a planted manifest beside it
// (which redirects names to its folder) can bring a DLL in; built with and
// without the archive's embedded manifest, it shows that an embedded one
// makes a planted one powerless.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
  int loaded = 0;
  int first = 1;
  if (argc > 1 && lstrcmpW(argv[1], L"--system-only") == 0) {
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    first = 2;
  }
  for (int i = first; i < argc; ++i) {
    if (LoadLibraryW(argv[i])) ++loaded;
  }
  return loaded;
}
