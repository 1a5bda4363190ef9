// Reads the stack protector's guard of DLLs as they load: for each pair
// "DLL OFFSET" on the command line (the DLL by full path, the guard's
// offset in its image in hex, from its linker map) it loads the DLL and
// prints the guard's value in hex, one line per DLL. Exits 1 when a DLL
// cannot be loaded.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  for (int i = 1; i + 1 < argc; i += 2) {
    // Its own folder first for what it imports (Mirwell.dll: Ostrel.dll).
    HMODULE dll = LoadLibraryExW(argv[i], nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!dll) {
      std::fwprintf(stderr, L"cannot load %ls: error %lu\n", argv[i], GetLastError());
      return 1;
    }
    std::uintptr_t guard;
    std::memcpy(&guard, reinterpret_cast<const char*>(dll) + std::wcstoull(argv[i + 1], nullptr, 16),
                sizeof guard);
    std::printf("%llx\n", static_cast<unsigned long long>(guard));
  }
  return 0;
}
