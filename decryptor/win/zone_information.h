// The zone information of a download (the Zone.Identifier stream Windows
// and browsers attach to files from the internet), carried over from the
// archive to what was decrypted from it, as archive tools do for what they
// extract: the system then keeps warning about the decrypted file (Office's
// Protected View, SmartScreen) as it would about the archive.
//
// It must not get lost on the way: it is read whole when the decryptor
// starts (the archive may be gone by the time the file is decrypted), and a
// stream that cannot be read whole, or one too large to be a zone record,
// stands for the internet zone. A decrypted file that cannot be given it is
// not to be opened.
#pragma once

#include "orx/zone_record.h"

namespace orx {

// The archive's zone information, read when the decryptor starts.
struct ArchiveZone {
  bool present = false;  // false: the archive has none (a local file)
  unsigned long bytes = 0;
  unsigned char record[kMaxZoneRecordBytes];
};

// Reads the zone information of the archive at `archivePath` (the launch's,
// launch.h) into `zone`. Call it once, at the start. An archive without the
// stream, or no archive (null), means none.
void ReadArchiveZone(const wchar_t* archivePath, ArchiveZone* zone);

// Gives the file at the full path `file` the archive's zone information.
// True when it has it now, or when there was none to give.
bool MarkWithArchiveZone(const ArchiveZone& zone, const wchar_t* file);

// True when the file at the full path `file` carries exactly the archive's
// zone information (or there was none).
bool CarriesArchiveZone(const ArchiveZone& zone, const wchar_t* file);

// Removes the zone information stream of `file` (left behind on a volume
// that does not move streams with a renamed file).
void RemoveZoneStream(const wchar_t* file);

}  // namespace orx
