#include "zone_information.h"

#include <windows.h>
#include <shellapi.h>

#include "orx/unique_handle.h"
#include "orx/wide_text.h"

namespace orx {

namespace {

constexpr wchar_t kStream[] = L":Zone.Identifier";
constexpr size_t kPathUnits = MAX_PATH + ARRAYSIZE(kStream);
// A zone identifier is a few lines of text; anything longer is not one.
constexpr DWORD kMaxBytes = 4096;
unsigned char g_zone[kMaxBytes];

bool StreamPath(const wchar_t* file, wchar_t (&path)[kPathUnits]) {
  path[0] = 0;
  return WideLength(file) < MAX_PATH && AppendWide(path, kPathUnits, file) &&
         AppendWide(path, kPathUnits, kStream);
}

}  // namespace

void CopyZoneInformationFromArchive(const wchar_t* file) {
  int count = 0;
  LocalMemory args(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!args || count < 2) return;
  const wchar_t* archive = static_cast<wchar_t**>(args.get())[1];
  wchar_t from[kPathUnits], to[kPathUnits];
  if (!StreamPath(archive, from) || !StreamPath(file, to)) return;
  FileHandle source(CreateFileW(from, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD got = 0;
  if (!source || !ReadFile(source.get(), g_zone, kMaxBytes, &got, nullptr) || got == kMaxBytes) {
    return;
  }
  FileHandle target(CreateFileW(to, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  if (target) WriteFile(target.get(), g_zone, got, &written, nullptr);
}

}  // namespace orx
