// The zone information of a download (the Zone.Identifier stream Windows
// and browsers attach to files from the internet), carried over from the
// archive to what was decrypted from it, as archive tools do for what they
// extract: the system then keeps warning about the decrypted file (Office's
// Protected View, SmartScreen) as it would about the archive.
#pragma once

namespace orx {

// Gives `file` the zone information of the archive named by this program's
// first argument (the stub passes the archive's path). An archive without
// it gives `file` none. Best effort: a volume without streams (FAT) or a
// missing argument leaves the file as it is.
void CopyZoneInformationFromArchive(const wchar_t* file);

}  // namespace orx
