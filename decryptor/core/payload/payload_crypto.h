// Key derivation, key unwrapping, buffer ciphers and streamed decryption of a
// payload, over the crypto port (crypto_port.h) with CFB128 composed in
// cfb128.h.
//
// Every function here is safe to call from C-style code without the C++
// runtime: results are integer codes (or a null pointer with the code in an
// out-parameter), and every buffer returned is malloc'd, owned by the caller
// and given back with ReleaseBuffer (ReleaseCipherName for cipher names).
// No function keeps state between calls; buffers already returned stay valid
// after later failures.
//
// Opening a payload, in order (each step's failure ends the run):
//   PasswordBytesFromText -> ReadPayloadHeader (payload_header.h: format,
//   stored-name rule and cipher text length) -> DerivePasswordKey ->
//   DecryptWithKey(wrappedKey, kModeCfb, kIvText) -> DigestBuffer("sha1")
//   compared with keyCheck (a difference is a wrong password, an error is a
//   processing failure) -> MakeCipherName(kModeCfb) -> DecryptPayload, whose
//   non-zero result is a failed decryption -> the next 20 payload bytes
//   compared with the computed digest -> ReleaseCipherName/ReleaseBuffer.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/crypto_port.h"
#include "payload/payload_stream.h"

namespace orx::payload {

// Result codes.
enum : int {
  kOk = 0,
  kNoMemory = 5,               // an allocation failed
  kNoCipherNameToRelease = 6,  // ReleaseCipherName was given no name
  kNoPassword = 1002,          // no password bytes were given
  kPasswordLength = 1003,      // stated length differs from the bytes up to their first zero
  kBadKeyLength = 1004,        // key length not 16, 24 or 32
  kMd5Failed = 1005,
  kNoSuchCipher = 1006,
  kEncryptFailed = 1201,
  kDecryptFailed = 1202,
  kNoDigest = 1302,            // SHA-1 unavailable, or no place for the digest
  kPayloadDecryptFailed = 1304,
  kOutputFailed = 1305,        // the output stream did not take every byte
};

constexpr int kModeCfb = 1;          // the mode every payload operation uses
constexpr size_t kSha1Bytes = 20;
constexpr size_t kDigestBufferBytes = 36;  // what DigestBuffer allocates
constexpr size_t kPasswordBytesCapacity = 256;
constexpr size_t kPasswordMaxUnits = 254;  // longer texts give no password bytes

// 32 ASCII digits; the first 16 bytes are the IV of every cipher operation
// (each starts afresh from it), the last 16 are never used.
extern const char kIvText[33];

// Password text (UTF-16 units, `units` of them, no terminator needed) to
// password bytes: when the text is at most 254 units long, the low 8 bits of
// each unit in order, then a zero byte; a longer text gives empty bytes.
// Returns the stated password length, which is always `units`. A unit whose
// low byte is zero thus ends the bytes early, and DerivePasswordKey then
// refuses the pair with kPasswordLength, as it does for a too-long text.
size_t PasswordBytesFromText(const uint16_t* text, size_t units,
                             unsigned char bytes[kPasswordBytesCapacity]);

// "aes-<keyBytes*8>-<mode>" with mode 0 ecb, 1 cfb, 2 cbc, 3 ofb; null for
// another mode or when memory is short. Release it with ReleaseCipherName.
char* MakeCipherName(int mode, int keyBytes);
// Frees a name from MakeCipherName: kOk, or kNoCipherNameToRelease for null.
int ReleaseCipherName(char* name);
// Frees any other buffer returned here; null is fine.
void ReleaseBuffer(void* buffer);

// What a cipher or digest name stands for.
struct CipherInfo {
  const char* name;
  int keyBytes;  // AES in CFB mode with 128-bit feedback, IV 16 bytes
};
struct DigestInfo {
  const char* name;
  size_t size;
};
// Exactly "aes-128-cfb", "aes-192-cfb", "aes-256-cfb"; null for any other
// name.
const CipherInfo* LookupCipher(const char* name);
// "sha1" (20 bytes) or "md5" (16 bytes); null for any other name.
const DigestInfo* LookupDigest(const char* name);

// A new kDigestBufferBytes buffer starting with the named digest of the data;
// null when no digest has that name, the digest fails or memory is short.
unsigned char* DigestBuffer(const void* data, size_t length, const char* digestName);

// Runs the named cipher over `length` input bytes into `output` (which holds
// length + 1 bytes at least; input and output may be the same buffer), writes
// a zero byte after the result and stores its length in *outLength. The IV is
// the first 16 bytes of `iv`. kOk, kNoSuchCipher, kEncryptFailed or
// kDecryptFailed.
int EncryptBuffer(const char* cipherName, const unsigned char* key, const char* iv,
                  const unsigned char* input, size_t length, unsigned char* output,
                  size_t* outLength);
int DecryptBuffer(const char* cipherName, const unsigned char* key, const char* iv,
                  const unsigned char* input, size_t length, unsigned char* output,
                  size_t* outLength);

// The password key: AES-CFB encryption (key length keyBytes, IV kIvText) of
// the seed, under the seed itself, where the seed is MD5(password bytes)
// followed by 0x01 bytes up to keyBytes. Returns a new buffer of keyBytes + 32
// bytes starting with the key, or null with *error set: kNoPassword (null
// bytes), kPasswordLength, kBadKeyLength, kMd5Failed, kNoMemory or the
// encryption's code. `error` may be null.
unsigned char* DerivePasswordKey(const unsigned char* passwordBytes, size_t passwordLength,
                                 int keyBytes, int* error);

// Decrypts a copy of the data with the cipher MakeCipherName(mode, keyBytes)
// under key and iv. Returns a new buffer of dataLength + 33 bytes holding the
// plaintext (length in *outLength), or null with *error set: kNoMemory,
// kNoSuchCipher or kDecryptFailed. Unwraps the file key with mode kModeCfb.
unsigned char* DecryptWithKey(const unsigned char* data, size_t dataLength,
                              const unsigned char* key, int keyBytes, size_t* outLength,
                              int mode, const char* iv, int* error);

// Reads cipherLength bytes from `payload` at its position, decrypts them as a
// stream through fixed buffers into `output`, and places SHA-1 of the
// plaintext in digestOut[0..19] with a zero byte at digestOut[20]. Results:
// kOk; kNoDigest (no digestOut, or SHA-1 unavailable); kNoSuchCipher;
// kNoMemory; kPayloadDecryptFailed when the cipher fails or the payload ends
// early; kOutputFailed when the output does not take every byte. On any
// failure digestOut (if given) is all zeros and the output holds an
// incomplete plaintext: the caller must treat a non-zero result as a failed
// decryption, whatever the stored digest says.
int DecryptPayload(const char* cipherName, const unsigned char* fileKey, const char* iv,
                   PayloadStream* payload, uint64_t cipherLength, PayloadStream* output,
                   unsigned char digestOut[21]);

// DecryptPayload's loop: the cipher text of a `keyBytes`-byte key
// AES-CFB128 (IV: the first 16 bytes of `iv`) read in fixed chunks, each
// decrypted and written; SHA-1 of every byte the output took goes to
// digestOut on kOk. With a null digestOut nothing is hashed, for a caller
// that hashes what its output takes itself. Results as DecryptPayload's.
int DecryptCipherText(int keyBytes, const unsigned char* fileKey, const char* iv,
                      PayloadStream* payload, uint64_t cipherLength, PayloadStream* output,
                      unsigned char digestOut[kSha1Bytes]);

}  // namespace orx::payload
