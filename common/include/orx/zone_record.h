// The zone record of a download (the Zone.Identifier stream Windows and
// browsers attach to files from the internet), as the decryptor and orx
// carry it from an archive to what comes out of it.
#pragma once

namespace orx {

// A record is a few lines and a download's URLs; a stream larger than this
// is not an honest one.
constexpr unsigned long kMaxZoneRecordBytes = 64 * 1024;

// What stands for a record that cannot be read whole, or one too large:
// the internet zone.
constexpr char kInternetZoneRecord[] = "[ZoneTransfer]\r\nZoneId=3\r\n";

}  // namespace orx
