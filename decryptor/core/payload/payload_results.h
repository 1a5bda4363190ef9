// Every result code of the payload core, in one table: kOk, or the first
// fault found. The layers share them, so that a caller of the opening
// sequence (payload_open.h) tells every outcome apart by one code.
#pragma once

namespace orx::payload {

enum : int {
  kOk = 0,

  // The buffer-returning functions (payload_crypto.h).
  kNoMemory = 5,               // an allocation failed
  kNoCipherNameToRelease = 6,  // ReleaseCipherName was given no name

  // The keys (payload_keys.h) and the buffer ciphers.
  kNoPassword = 1002,          // no password bytes were given
  kPasswordLength = 1003,      // stated length differs from the bytes up to their first zero
  kBadKeyLength = 1004,        // key length not 16, 24 or 32
  kMd5Failed = 1005,
  kNoSuchCipher = 1006,
  kPasswordNotText = 1007,     // format 2: not 1 to 254 units of well-formed UTF-16
  kKeyDerivationFailed = 1008, // format 2: PBKDF2 or HMAC-SHA256 failed in the provider
  kEncryptFailed = 1201,
  kDecryptFailed = 1202,

  // The streamed decryption (streamed_decryption.h).
  kNoDigest = 1302,            // SHA-1 unavailable, or no place for the digest
  kPayloadDecryptFailed = 1304,  // the cipher failed, or the payload ended early
  kOutputFailed = 1305,        // the output stream did not take every byte
  kReadFailed = 1306,          // the payload stream reported a read error

  // The format (payload_header.h).
  kHeaderTruncated = 1401,  // the stream ended inside the header
  kBadSignature = 1402,
  kNameTooLong = 1403,      // nameBytes above kMaxNameBytes
  kBadKeyBytes = 1404,      // keyBytes not 16, 24 or 32
  kBadStoredName = 1405,    // the stored name is not a plain file name
  kPayloadTooShort = 1406,  // no room for the header and the 24 trailing bytes
  kStreamFailed = 1407,     // the stream could not be measured (seek/tell)
  kBadVersion = 1408,       // format 2: a version other than 2
  kBadKdf = 1409,           // format 2: a key derivation other than PBKDF2-HMAC-SHA256
  kBadCost = 1410,          // format 2: iterations outside the bounds readers accept
  kOddNameBytes = 1411,     // format 2: nameBytes odd

  // The opening sequence (payload_open.h).
  kWrongPassword = 1501,   // the unwrapped key's check value differs from keyCheck
  kDigestMismatch = 1502,  // the plaintext's SHA-1 differs from the stored one
  kNoStoredDigest = 1503,  // the payload ends before its stored digest (or tag)
  kTagMismatch = 1504,     // format 2: the MAC over header and cipher text differs from the tag
};

}  // namespace orx::payload
