// Layout of a self-decrypting archive: the stub's own image, then two fixed
// slots holding the cleanup tool and the decryptor, then the encrypted
// payload up to the end of the file. The slots are found by these offsets
// alone, so every archive builder and reader must use exactly these values.
#pragma once

namespace archive {

constexpr unsigned long kStubSize = 0x6000;          // 24,576: the stub, padded
constexpr unsigned long kCleanupOffset = 0x6000;     // slot 1: the cleanup tool
constexpr unsigned long kCleanupSize = 0x3000;       // 12,288
constexpr unsigned long kDecryptorOffset = 0x9000;   // slot 2: the decryptor
constexpr unsigned long kDecryptorSize = 0xA200;     // 41,472
constexpr unsigned long kPayloadOffset = 0x13200;    // 78,336: the payload starts here
constexpr unsigned long kPayloadChunk = 0xFFFF;      // 65,535 bytes per payload copy step

static_assert(kCleanupOffset == kStubSize, "slot 1 follows the stub");
static_assert(kCleanupOffset + kCleanupSize == kDecryptorOffset, "slots are adjacent");
static_assert(kDecryptorOffset + kDecryptorSize == kPayloadOffset, "payload follows slot 2");

// Names of the files the stub writes. The cleanup tool and the payload go
// under the Windows folder where the recipient may write there, and
// otherwise both into the recipient's own folder (kUserFolderName under
// the user's temporary folder).
constexpr const wchar_t kCleanupName[] = L"\\Orx_DelTool.exe";        // under either folder
constexpr const wchar_t kDecryptorName[] = L"\\Orx_DecryptFile.exe";  // under the current folder
constexpr const wchar_t kPayloadName[] = L"\\temp\\Orx_Decrypt.tmp";  // under the Windows folder
constexpr const wchar_t kUserPayloadName[] = L"\\Orx_Decrypt.tmp";    // under the user's folder
constexpr const wchar_t kUserFolderName[] = L"Orx_Decrypt";           // under the user's temp folder

}  // namespace archive
