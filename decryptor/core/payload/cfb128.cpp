#include "payload/cfb128.h"

#include <stdint.h>
#include <string.h>

#include "orx/secure_wipe.h"

namespace orx::crypto {

namespace {

// out[i] ^= with[i]. A plain loop over non-overlapping buffers, which the
// optimiser turns into vector code where the build asks for speed.
void XorInto(unsigned char* __restrict out, const unsigned char* __restrict with, size_t size) {
  for (size_t i = 0; i < size; ++i) out[i] ^= with[i];
}

// One byte at a time, as the mode is defined. `decrypt` chooses whether the
// input or the output byte is the cipher byte that is fed back.
bool Serial(Cfb128* s, const unsigned char* in, unsigned char* out, size_t size, bool decrypt) {
  for (size_t i = 0; i < size; ++i) {
    if (s->used == 0 && !AesEncryptBlocks(&s->key, s->shift, s->shift, 1)) return false;
    unsigned char c = in[i];
    unsigned char o = static_cast<unsigned char>(c ^ s->shift[s->used]);
    out[i] = o;
    s->shift[s->used] = decrypt ? c : o;
    s->used = (s->used + 1) % kAesBlockBytes;
  }
  return true;
}

}  // namespace

bool Cfb128Init(Cfb128* s, const unsigned char* key, size_t keyBytes,
                const unsigned char iv[kAesBlockBytes]) {
  s->used = 0;
  memcpy(s->shift, iv, kAesBlockBytes);
  return AesInit(&s->key, key, keyBytes);
}

bool Cfb128Encrypt(Cfb128* s, const unsigned char* in, unsigned char* out, size_t size) {
  return Serial(s, in, out, size, false);
}

bool Cfb128Decrypt(Cfb128* s, const unsigned char* in, unsigned char* out, size_t size) {
  return Serial(s, in, out, size, true);
}

bool Cfb128DecryptRun(Cfb128* s, const unsigned char* cipher, unsigned char* out,
                      size_t size) {
  // Finish a block begun by an earlier call one byte at a time; what is
  // left starts on a block boundary.
  size_t head = s->used == 0 ? 0 : kAesBlockBytes - s->used;
  if (head > size) head = size;
  if (head) {
    if (!Serial(s, cipher, out, head, true)) return false;
    cipher += head;
    out += head;
    size -= head;
  }
  if (size == 0) return true;
  // Keystream block i is E(C[i-1]), C[-1] being the feedback block.
  const size_t blocks = (size + kAesBlockBytes - 1) / kAesBlockBytes;
  const size_t tail = size % kAesBlockBytes;
  if (!AesEncryptBlocks(&s->key, s->shift, out, 1) ||
      (blocks > 1 && !AesEncryptBlocks(&s->key, cipher, out + kAesBlockBytes, blocks - 1))) {
    return false;
  }
  if (tail == 0) {
    memcpy(s->shift, cipher + size - kAesBlockBytes, kAesBlockBytes);
  } else {
    // A partial last block: keep its keystream with the used bytes fed back.
    memcpy(s->shift, out + size - tail, kAesBlockBytes);
    memcpy(s->shift, cipher + size - tail, tail);
  }
  s->used = static_cast<unsigned>(tail);
  XorInto(out, cipher, size);
  return true;
}

void Cfb128Release(Cfb128* s) {
  AesRelease(&s->key);
  SecureWipe(s->shift, sizeof s->shift);
  s->used = 0;
}

bool Cfb128Buffer(const unsigned char* key, size_t keyBytes, const unsigned char iv[kAesBlockBytes],
                  const unsigned char* in, unsigned char* out, size_t size, bool encrypt) {
  Cfb128 cfb = {};
  bool ok = Cfb128Init(&cfb, key, keyBytes, iv) &&
            (encrypt ? Cfb128Encrypt(&cfb, in, out, size) : Cfb128Decrypt(&cfb, in, out, size));
  Cfb128Release(&cfb);
  return ok;
}

}  // namespace orx::crypto
