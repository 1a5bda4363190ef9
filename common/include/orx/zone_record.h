// The zone record of a download (the Zone.Identifier stream Windows and
// browsers attach to files from the internet), as the decryptor and orx
// carry it from an archive to what comes out of it, so that the system
// keeps warning about the output (Office's Protected View, SmartScreen) as
// it would about the archive. One reader and writer for both, without the
// C runtime, exceptions or the heap, so that the decryptor links it.
//
// The rules:
// - A file's record is its stream "<full path>:Zone.Identifier", named in
//   the long form so that no MAX_PATH limit applies to the name with the
//   stream's: "C:\dir\f" becomes "\\?\C:\dir\f:Zone.Identifier",
//   "\\server\share\f" becomes "\\?\UNC\server\share\f:Zone.Identifier",
//   and a path already in the long form ("\\?\...") is taken as it is. A
//   device path ("\\.\...") names no file's stream and is refused, as is a
//   full path of more than kMaxZoneFullPathUnits units.
// - No stream means no record: a local file (or one gone by now, which is
//   nothing to go by either way), and every file of a volume that keeps no
//   streams (FAT and exFAT, most sticks and cards; shares without them),
//   where no download can have left one.
// - A record that cannot be read whole, one over kMaxZoneRecordBytes, and
//   that of a file that cannot be named stand for the internet zone
//   (kInternetZoneRecord): the record must not get lost on the way.
#pragma once

namespace orx {

// A record is a few lines and a download's URLs; a stream larger than this
// is not an honest one.
constexpr unsigned long kMaxZoneRecordBytes = 64 * 1024;

// What stands for a record that cannot be read whole, or one too large:
// the internet zone.
constexpr char kInternetZoneRecord[] = "[ZoneTransfer]\r\nZoneId=3\r\n";

// The longest full path whose record is read or written: a folder of up to
// MAX_PATH (260) units and a file name in it.
constexpr unsigned long kMaxZoneFullPathUnits = 2 * 260 + 40;

// A file's zone record, read whole.
struct ZoneRecord {
  bool present = false;  // false: the file has none (a local file)
  unsigned long size = 0;
  unsigned char bytes[kMaxZoneRecordBytes];
};

// Whether the system's reason for not opening a record's stream (the
// thread's last error) means the file has none (MeansNoRecord), rather than
// one that is there but cannot be read (denied, in use: the internet).
bool MeansNoRecord(unsigned long error);

// Reads the zone record of the file at `file` (a path as CreateFileW takes
// it, made full here) into `zone`, with the rules above.
void ReadZoneRecord(const wchar_t* file, ZoneRecord* zone);

// Gives the file at `file` the record. True when it has it now, or when
// there was none to give.
bool WriteZoneRecord(const ZoneRecord& zone, const wchar_t* file);

// True when the file at `file` carries exactly the record (or there was
// none).
bool CarriesZoneRecord(const ZoneRecord& zone, const wchar_t* file);

// Removes the record's stream of `file` (left behind on a volume that does
// not move streams with a renamed file).
void RemoveZoneRecord(const wchar_t* file);

}  // namespace orx
