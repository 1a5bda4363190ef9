// The buffer-returning functions: the C-style calls of the payload core,
// kept for callers written against them, each a thin adapter over the
// layers (payload_keys.h, streamed_decryption.h, cfb128.h). This is the one
// file of the core that allocates: every buffer returned is malloc'd, owned
// by the caller and given back with ReleaseBuffer (ReleaseCipherName for
// cipher names). Results are integer codes (or a null pointer with the code
// in an out-parameter); no function keeps state between calls; buffers
// already returned stay valid after later failures. A program that opens
// payloads needs none of them: the sequence is in payload_open.h.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "payload/crypto_port.h"
#include "payload/payload_keys.h"
#include "payload/payload_results.h"
#include "payload/payload_stream.h"
#include "payload/streamed_decryption.h"

namespace orx::payload {

constexpr int kModeCfb = 1;          // the mode every payload operation uses
constexpr size_t kDigestBufferBytes = 36;  // what DigestBuffer allocates

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

// The password key (DerivePasswordKeyInto, payload_keys.h). Returns a new
// buffer of keyBytes + 32 bytes starting with the key, or null with *error set: kNoPassword (null
// bytes), kPasswordLength, kBadKeyLength, kMd5Failed, kEncryptFailed or
// kNoMemory. `error` may be null.
unsigned char* DerivePasswordKey(const unsigned char* passwordBytes, size_t passwordLength,
                                 int keyBytes, int* error);

// Decrypts a copy of the data with the cipher MakeCipherName(mode, keyBytes)
// under key and iv. Returns a new buffer of dataLength + 33 bytes holding the
// plaintext (length in *outLength), or null with *error set: kNoMemory,
// kNoSuchCipher or kDecryptFailed. Unwraps the file key with mode kModeCfb.
unsigned char* DecryptWithKey(const unsigned char* data, size_t dataLength,
                              const unsigned char* key, int keyBytes, size_t* outLength,
                              int mode, const char* iv, int* error);

// Reads cipherLength bytes from `payload` at its position, decrypts them
// (DecryptCipherText, streamed_decryption.h) into `output`, and places
// SHA-1 of the plaintext in digestOut[0..19] with a zero byte at
// digestOut[20]. Results: kOk; kNoDigest (no digestOut, or SHA-1
// unavailable); kNoSuchCipher; kPayloadDecryptFailed when the cipher fails,
// the payload ends early or cannot be read; kOutputFailed when the output
// does not take every byte. On any failure digestOut (if given) is all
// zeros and the output holds an incomplete plaintext: the caller must treat
// a non-zero result as a failed decryption, whatever the stored digest
// says.
int DecryptPayload(const char* cipherName, const unsigned char* fileKey, const char* iv,
                   PayloadStream* payload, uint64_t cipherLength, PayloadStream* output,
                   unsigned char digestOut[21]);

}  // namespace orx::payload
