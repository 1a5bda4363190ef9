#include "zone_information.h"

#include <windows.h>
#include <string.h>

#include "orx/unique_handle.h"
#include "orx/wide_text.h"

namespace orx {

namespace {

constexpr wchar_t kStream[] = L":Zone.Identifier";
constexpr DWORD kMaxBytes = kMaxZoneRecordBytes;
// Full paths of up to MAX_PATH plus a file name, with "\\?\UNC\" and the
// stream's name: no MAX_PATH limit on the way.
constexpr size_t kPathUnits = 2 * MAX_PATH + 64;

// "\\?\" + full path + stream, or "\\?\UNC\" + server path for "\\server".
bool StreamPath(const wchar_t* full, wchar_t (&path)[kPathUnits]) {
  path[0] = 0;
  bool unc = full[0] == L'\\' && full[1] == L'\\';
  if (full[0] == L'\\' && full[1] == L'\\' && (full[2] == L'?' || full[2] == L'.')) return false;
  return AppendWide(path, kPathUnits, unc ? L"\\\\?\\UNC" : L"\\\\?\\") &&
         AppendWide(path, kPathUnits, unc ? full + 1 : full) &&
         AppendWide(path, kPathUnits, kStream);
}

void UseInternetZone(ArchiveZone* zone) {
  zone->bytes = sizeof(kInternetZoneRecord) - 1;
  CopyMemory(zone->record, kInternetZoneRecord, zone->bytes);
  zone->present = true;
}

// Reads all of an open stream into `into`; false when it is larger than
// `capacity` or cannot be read whole.
bool ReadWhole(HANDLE stream, unsigned char* into, DWORD capacity, unsigned long* size) {
  FILE_STANDARD_INFO info;
  if (!GetFileInformationByHandleEx(stream, FileStandardInfo, &info, sizeof info) ||
      info.EndOfFile.QuadPart > capacity) {
    return false;
  }
  DWORD want = static_cast<DWORD>(info.EndOfFile.QuadPart), got = 0;
  while (got < want) {
    DWORD read = 0;
    if (!ReadFile(stream, into + got, want - got, &read, nullptr) || read == 0) return false;
    got += read;
  }
  *size = got;
  return true;
}

}  // namespace

void ReadArchiveZone(const wchar_t* archivePath, ArchiveZone* zone) {
  if (!archivePath) return;  // not started by an archive
  wchar_t full[MAX_PATH + 1], path[kPathUnits];
  DWORD length = GetFullPathNameW(archivePath, ARRAYSIZE(full), full, nullptr);
  if (length == 0 || length >= ARRAYSIZE(full) || !StreamPath(full, path)) {
    UseInternetZone(zone);  // an archive we cannot even name: assume the worst
    return;
  }
  FileHandle stream(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!stream) {
    DWORD error = GetLastError();
    // No stream: a local file. The archive itself gone by now is nothing to
    // go by either way; everything else (denied, in use) counts as the
    // internet.
    if (error != ERROR_FILE_NOT_FOUND) UseInternetZone(zone);
    return;
  }
  if (ReadWhole(stream.get(), zone->record, kMaxBytes, &zone->bytes)) {
    zone->present = true;
  } else {
    UseInternetZone(zone);
  }
}

bool MarkWithArchiveZone(const ArchiveZone& zone, const wchar_t* file) {
  if (!zone.present) return true;
  wchar_t path[kPathUnits];
  if (!StreamPath(file, path)) return false;
  FileHandle stream(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  DWORD written = 0;
  return stream && WriteFile(stream.get(), zone.record, zone.bytes, &written, nullptr) &&
         written == zone.bytes;
}

bool CarriesArchiveZone(const ArchiveZone& zone, const wchar_t* file) {
  if (!zone.present) return true;
  wchar_t path[kPathUnits];
  if (!StreamPath(file, path)) return false;
  FileHandle stream(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
  unsigned char found[kMaxBytes];
  unsigned long size = 0;
  return stream && ReadWhole(stream.get(), found, kMaxBytes, &size) && size == zone.bytes &&
         memcmp(found, zone.record, size) == 0;
}

void RemoveZoneStream(const wchar_t* file) {
  wchar_t path[kPathUnits];
  if (StreamPath(file, path)) DeleteFileW(path);
}

}  // namespace orx
