#include "zone_information.h"

#include <windows.h>
#include <shellapi.h>

#include "orx/unique_handle.h"
#include "orx/wide_text.h"
#include "orx/zone_record.h"

namespace orx {

namespace {

constexpr wchar_t kStream[] = L":Zone.Identifier";
constexpr DWORD kMaxBytes = kMaxZoneRecordBytes;
// Full paths of up to MAX_PATH plus a file name, with "\\?\UNC\" and the
// stream's name: no MAX_PATH limit on the way.
constexpr size_t kPathUnits = 2 * MAX_PATH + 64;

unsigned char g_zone[kMaxBytes];
DWORD g_zoneBytes = 0;
bool g_hasZone = false;
unsigned char g_check[kMaxBytes];

// "\\?\" + full path + stream, or "\\?\UNC\" + server path for "\\server".
bool StreamPath(const wchar_t* full, wchar_t (&path)[kPathUnits]) {
  path[0] = 0;
  bool unc = full[0] == L'\\' && full[1] == L'\\';
  if (full[0] == L'\\' && full[1] == L'\\' && (full[2] == L'?' || full[2] == L'.')) return false;
  return AppendWide(path, kPathUnits, unc ? L"\\\\?\\UNC" : L"\\\\?\\") &&
         AppendWide(path, kPathUnits, unc ? full + 1 : full) &&
         AppendWide(path, kPathUnits, kStream);
}

void UseInternetZone() {
  g_zoneBytes = sizeof(kInternetZoneRecord) - 1;
  CopyMemory(g_zone, kInternetZoneRecord, g_zoneBytes);
  g_hasZone = true;
}

// Reads all of an open stream into `into`; false when it is larger than
// `capacity` or cannot be read whole.
bool ReadWhole(HANDLE stream, unsigned char* into, DWORD capacity, DWORD* size) {
  LARGE_INTEGER length;
  if (!GetFileSizeEx(stream, &length) || length.QuadPart > capacity) return false;
  DWORD want = static_cast<DWORD>(length.QuadPart), got = 0;
  while (got < want) {
    DWORD read = 0;
    if (!ReadFile(stream, into + got, want - got, &read, nullptr) || read == 0) return false;
    got += read;
  }
  *size = got;
  return true;
}

}  // namespace

void ReadArchiveZone() {
  int count = 0;
  LocalMemory args(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!args || count < 2) return;  // not started by an archive
  wchar_t full[MAX_PATH + 1], path[kPathUnits];
  DWORD length = GetFullPathNameW(static_cast<wchar_t**>(args.get())[1], ARRAYSIZE(full), full,
                                  nullptr);
  if (length == 0 || length >= ARRAYSIZE(full) || !StreamPath(full, path)) {
    UseInternetZone();  // an archive we cannot even name: assume the worst
    return;
  }
  FileHandle stream(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!stream) {
    DWORD error = GetLastError();
    // No stream: a local file. The archive itself gone by now is nothing to
    // go by either way; everything else (denied, in use) counts as the
    // internet.
    if (error != ERROR_FILE_NOT_FOUND) UseInternetZone();
    return;
  }
  if (ReadWhole(stream.get(), g_zone, kMaxBytes, &g_zoneBytes)) {
    g_hasZone = true;
  } else {
    UseInternetZone();
  }
}

bool ArchiveHasZone() { return g_hasZone; }

bool MarkWithArchiveZone(const wchar_t* file) {
  if (!g_hasZone) return true;
  wchar_t path[kPathUnits];
  if (!StreamPath(file, path)) return false;
  FileHandle stream(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return stream && WriteFile(stream.get(), g_zone, g_zoneBytes, &written, nullptr) &&
         written == g_zoneBytes;
}

bool CarriesArchiveZone(const wchar_t* file) {
  if (!g_hasZone) return true;
  wchar_t path[kPathUnits];
  if (!StreamPath(file, path)) return false;
  FileHandle stream(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD size = 0;
  if (!stream || !ReadWhole(stream.get(), g_check, kMaxBytes, &size) || size != g_zoneBytes) {
    return false;
  }
  for (DWORD i = 0; i < size; ++i) {
    if (g_check[i] != g_zone[i]) return false;
  }
  return true;
}

void RemoveZoneStream(const wchar_t* file) {
  wchar_t path[kPathUnits];
  if (StreamPath(file, path)) DeleteFileW(path);
}

}  // namespace orx
