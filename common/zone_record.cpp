#include "orx/zone_record.h"

#include <windows.h>
#include <string.h>

#include "orx/unique_handle.h"

namespace orx {

namespace {

constexpr wchar_t kStreamName[] = L":Zone.Identifier";
constexpr size_t kStreamNameUnits = ARRAYSIZE(kStreamName) - 1;
constexpr wchar_t kUncPrefix[] = L"\\\\?\\UNC";  // before the server's "\server\share"
constexpr size_t kPrefixUnits = ARRAYSIZE(kUncPrefix) - 1;
// The long-form prefix, the full path with its terminator, the stream's name.
constexpr size_t kStreamPathUnits = kPrefixUnits + kMaxZoneFullPathUnits + 1 + kStreamNameUnits;

// The path of the record's stream of `file`, in `buffer`; null when the
// file cannot be named so (the rules in zone_record.h). The full path is
// made behind room for the prefix, which then goes in front of it.
const wchar_t* StreamPath(const wchar_t* file, wchar_t (&buffer)[kStreamPathUnits]) {
  wchar_t* full = buffer + kPrefixUnits;
  DWORD length = GetFullPathNameW(file, kMaxZoneFullPathUnits + 1, full, nullptr);
  if (length == 0 || length > kMaxZoneFullPathUnits) return nullptr;
  wchar_t* path = full;
  if (full[0] == L'\\' && full[1] == L'\\') {
    if (full[2] == L'.') return nullptr;  // a device
    if (full[2] != L'?') {
      // "\\server\share\..." -> "\\?\UNC\server\share\...": the prefix
      // takes the place of the first backslash.
      path = full + 1 - kPrefixUnits;
      CopyMemory(path, kUncPrefix, kPrefixUnits * sizeof(wchar_t));
    }
  } else {
    path = full - 4;  // "\\?\"
    CopyMemory(path, kUncPrefix, 4 * sizeof(wchar_t));
  }
  CopyMemory(full + length, kStreamName, sizeof kStreamName);
  return path;
}

void UseInternetZone(ZoneRecord* zone) {
  zone->size = sizeof(kInternetZoneRecord) - 1;
  CopyMemory(zone->bytes, kInternetZoneRecord, zone->size);
  zone->present = true;
}

// Reads all of an open stream into `into`; false when it is larger than
// kMaxZoneRecordBytes or cannot be read whole.
bool ReadWhole(HANDLE stream, unsigned char* into, unsigned long* size) {
  FILE_STANDARD_INFO info;
  if (!GetFileInformationByHandleEx(stream, FileStandardInfo, &info, sizeof info) ||
      info.EndOfFile.QuadPart > static_cast<LONGLONG>(kMaxZoneRecordBytes)) {
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

HANDLE OpenStream(const wchar_t* path, DWORD access, DWORD share, DWORD disposition) {
  return CreateFileW(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

bool MeansNoRecord(unsigned long error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:       // no stream of that name
    case ERROR_INVALID_NAME:         // FAT, exFAT: a stream is no name there
    case ERROR_INVALID_PARAMETER:    // shares whose server keeps no streams
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_FUNCTION:
      return true;
    default:
      return false;
  }
}

void ReadZoneRecord(const wchar_t* file, ZoneRecord* zone) {
  wchar_t buffer[kStreamPathUnits];
  const wchar_t* path = StreamPath(file, buffer);
  if (!path) {
    UseInternetZone(zone);  // a file we cannot even name: assume the worst
    return;
  }
  FileHandle stream(OpenStream(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  if (!stream) {
    if (!MeansNoRecord(GetLastError())) UseInternetZone(zone);
    return;
  }
  if (ReadWhole(stream.get(), zone->bytes, &zone->size)) {
    zone->present = true;
  } else {
    UseInternetZone(zone);
  }
}

bool WriteZoneRecord(const ZoneRecord& zone, const wchar_t* file) {
  if (!zone.present) return true;
  wchar_t buffer[kStreamPathUnits];
  const wchar_t* path = StreamPath(file, buffer);
  if (!path) return false;
  FileHandle stream(OpenStream(path, GENERIC_WRITE, 0, CREATE_ALWAYS));
  DWORD written = 0;
  return stream && WriteFile(stream.get(), zone.bytes, zone.size, &written, nullptr) &&
         written == zone.size;
}

bool CarriesZoneRecord(const ZoneRecord& zone, const wchar_t* file) {
  if (!zone.present) return true;
  wchar_t buffer[kStreamPathUnits];
  const wchar_t* path = StreamPath(file, buffer);
  if (!path) return false;
  FileHandle stream(OpenStream(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING));
  unsigned char found[kMaxZoneRecordBytes];
  unsigned long size = 0;
  if (!stream || !ReadWhole(stream.get(), found, &size) || size != zone.size) return false;
  // A loop, not memcmp: the small programs import nothing from the C runtime.
  for (unsigned long i = 0; i < size; ++i) {
    if (found[i] != zone.bytes[i]) return false;
  }
  return true;
}

void RemoveZoneRecord(const wchar_t* file) {
  wchar_t buffer[kStreamPathUnits];
  const wchar_t* path = StreamPath(file, buffer);
  if (path) DeleteFileW(path);
}

}  // namespace orx
