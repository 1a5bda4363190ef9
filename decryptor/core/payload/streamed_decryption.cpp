#include "payload/streamed_decryption.h"

#include "orx/secret.h"
#include "payload/cfb128.h"
#include "payload/crypto_port.h"

namespace orx::payload {

namespace {

// The fixed buffers: large enough that per-call costs vanish against the
// cipher and the digest, small enough to stay in the cache between the
// keystream, the XOR and the digest passes, and to sit on any thread's
// stack.
constexpr size_t kChunkBytes = 16384;
constexpr size_t kBlock = crypto::kAesBlockBytes;

// The next chunk of cipher text: lent in place by the stream, or read into
// `buffer`. kOk with *in set, kReadFailed, or kPayloadDecryptFailed when
// the payload ends first.
int NextChunk(PayloadStream* payload, unsigned char* buffer, size_t chunk,
              const unsigned char** in) {
  *in = payload->view ? static_cast<const unsigned char*>(payload->view(payload->context, chunk))
                      : nullptr;
  if (*in) return kOk;
  *in = buffer;
  return ReadExactly(payload, buffer, chunk, kPayloadDecryptFailed);
}

// Besides the cipher, each chunk goes through at most one of: `sha`, the
// SHA-1 of what the output took (format 1), or `mac`, which takes the cipher
// text before it is decrypted (format 2). A failed update fails the
// decryption.
int DecryptInto(int keyBytes, const unsigned char* fileKey, const unsigned char* iv,
                crypto::Sha1* sha, crypto::HmacSha256* mac, PayloadStream* payload,
                uint64_t cipherLength, PayloadStream* output) {
  // The cipher text as read (unless the stream lends it in place), and the
  // plaintext with room for the keystream's last whole block, wiped on the
  // way out.
  unsigned char cipher[kChunkBytes];
  Secret<unsigned char[kChunkBytes + kBlock]> plain;
  crypto::Cfb128 cfb = {};
  int result = crypto::Cfb128Init(&cfb, fileKey, static_cast<size_t>(keyBytes), iv)
                   ? kOk
                   : kPayloadDecryptFailed;
  for (uint64_t done = 0; result == kOk && done < cipherLength;) {
    uint64_t left = cipherLength - done;
    size_t chunk = left < kChunkBytes ? static_cast<size_t>(left) : kChunkBytes;
    const unsigned char* in = nullptr;
    result = NextChunk(payload, cipher, chunk, &in);
    if (result != kOk) break;
    if ((mac && !crypto::HmacSha256Update(mac, in, chunk)) ||
        !crypto::Cfb128DecryptRun(&cfb, in, plain.value, chunk)) {
      result = kPayloadDecryptFailed;
      break;
    }
    size_t taken = output->write(output->context, plain.value, chunk);
    if (sha && !crypto::Sha1Update(sha, plain.value, taken)) {
      result = kPayloadDecryptFailed;
    } else if (taken != chunk) {
      result = kOutputFailed;
    }
    done += chunk;
  }
  crypto::Cfb128Release(&cfb);
  return result;
}

}  // namespace

int DecryptCipherText(int keyBytes, const unsigned char* fileKey, const char* iv,
                      PayloadStream* payload, uint64_t cipherLength, PayloadStream* output,
                      unsigned char digestOut[kSha1Bytes]) {
  if (!payload || !output || !fileKey || !iv) return kPayloadDecryptFailed;
  const unsigned char* iv16 = reinterpret_cast<const unsigned char*>(iv);
  crypto::Sha1 sha = {};
  if (digestOut && !crypto::Sha1Init(&sha)) return kNoDigest;
  int result = DecryptInto(keyBytes, fileKey, iv16, digestOut ? &sha : nullptr, nullptr, payload,
                           cipherLength, output);
  if (digestOut && result == kOk && !crypto::Sha1Final(&sha, digestOut)) {
    result = kPayloadDecryptFailed;
  }
  crypto::Sha1Release(&sha);
  return result;
}

int DecryptCipherTextWithMac(const unsigned char key[32], const unsigned char iv[16],
                             crypto::HmacSha256* mac, PayloadStream* payload,
                             uint64_t cipherLength, PayloadStream* output) {
  if (!payload || !output || !mac) return kPayloadDecryptFailed;
  return DecryptInto(32, key, iv, nullptr, mac, payload, cipherLength, output);
}

}  // namespace orx::payload
