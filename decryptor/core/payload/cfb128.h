// AES in CFB mode with 128-bit feedback (NIST SP 800-38A), composed over the
// port's block function, so that every provider gives the bytes of
// OpenSSL's aes-*-cfb128 without offering the mode itself (CNG's CFB is
// CFB8).
//
// Encryption is serial: each keystream block is the encryption of the
// cipher block before it. Decryption needs no such wait, since
// P[i] = C[i] xor E(C[i-1]) with C[-1] the IV: Cfb128DecryptRun makes the
// keystream of a whole run of blocks at once.
#pragma once

#include <stddef.h>

#include "payload/crypto_port.h"

namespace orx::crypto {

struct Cfb128 {
  AesKey key;
  // At a block boundary (used == 0): the input of the next keystream block,
  // the IV or the last cipher block. Inside a block: that block's keystream,
  // its first `used` bytes already replaced by the cipher bytes they made.
  unsigned char shift[kAesBlockBytes];
  unsigned used;
};

// False for a key length other than 16, 24 or 32 or a provider failure.
bool Cfb128Init(Cfb128* state, const unsigned char* key, size_t keyBytes,
                const unsigned char iv[kAesBlockBytes]);
// Byte-exact streams: calls may split the data anywhere. `out` may be `in`.
bool Cfb128Encrypt(Cfb128* state, const unsigned char* in, unsigned char* out, size_t size);
bool Cfb128Decrypt(Cfb128* state, const unsigned char* in, unsigned char* out, size_t size);

// Decrypts `size` cipher bytes into `out`, which must not overlap them and
// needs room for size + 16 bytes (the keystream is made in whole blocks):
// the keystream of the whole run comes from the block function over the
// feedback block and the cipher text shifted by one block, then one XOR
// pass. Continues the stream exactly like Cfb128Decrypt, whatever the sizes
// of earlier calls.
bool Cfb128DecryptRun(Cfb128* state, const unsigned char* cipher, unsigned char* out,
                      size_t size);

// Releases the key and wipes the feedback.
void Cfb128Release(Cfb128* state);

// One whole buffer from the IV, the state made and released inside: a key
// wrapped or unwrapped, a buffer ciphered. `out` may be `in`.
bool Cfb128Buffer(const unsigned char* key, size_t keyBytes, const unsigned char iv[kAesBlockBytes],
                  const unsigned char* in, unsigned char* out, size_t size, bool encrypt);

}  // namespace orx::crypto
