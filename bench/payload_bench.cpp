// Throughput of the payload decryption against SHA-1 alone, measured in one
// run over the same bytes in memory. Every plaintext byte must pass SHA-1,
// so SHA-1 alone is the bound; the figure that matters is the core's share
// of it. Also shown, for orientation: the AES block function alone (the
// keystream of the parallel CFB decryption) and OpenSSL's own serial CFB
// decryption, which the core used to be bound by.
//
//   payload_bench [MiB] [128|192|256]
// The last line is "ratio core/sha1: X.XX".
#include <openssl/evp.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "payload/crypto_port.h"
#include "payload/payload_crypto.h"

using namespace orx;

namespace {

struct MemoryReader {
  const unsigned char* data;
  size_t size, position;
  static int Read(void* c, void* buffer, size_t n, size_t* got) {
    auto* r = static_cast<MemoryReader*>(c);
    if (n > r->size - r->position) n = r->size - r->position;
    std::memcpy(buffer, r->data + r->position, n);
    r->position += n;
    *got = n;
    return 0;
  }
  static const void* View(void* c, size_t n) {
    auto* r = static_cast<MemoryReader*>(c);
    if (n > r->size - r->position) return nullptr;
    r->position += n;
    return r->data + r->position - n;
  }
};

size_t Discard(void*, const void*, size_t size) { return size; }

template <typename F>
double BestOf(int rounds, F&& f) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    f();
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (s < best) best = s;
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const size_t mib = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 256;
  const int keyBits = argc > 2 ? std::atoi(argv[2]) : 256;
  const size_t bytes = mib << 20;
  const int keyBytes = keyBits / 8;
  char* name = payload::MakeCipherName(payload::kModeCfb, keyBytes);
  if (!payload::LookupCipher(name)) {
    std::fprintf(stderr, "no cipher for %d bits\n", keyBits);
    return 2;
  }
  std::vector<unsigned char> data(bytes), out(1 << 20);
  unsigned char key[32];
  if (!crypto::RandomBytes(key, sizeof key) || !crypto::RandomBytes(data.data(), bytes)) return 2;

  const int rounds = 5;
  double core = BestOf(rounds, [&] {
    MemoryReader reader{data.data(), bytes, 0};
    payload::PayloadStream in = {&reader, MemoryReader::Read, nullptr, nullptr, nullptr,
                                 MemoryReader::View};
    payload::PayloadStream sink = {nullptr, nullptr, Discard, nullptr, nullptr, nullptr};
    unsigned char digest[21];
    if (payload::DecryptPayload(name, key, payload::kIvText, &in, bytes, &sink, digest) !=
        payload::kOk) {
      std::abort();
    }
  });
  double sha1 = BestOf(rounds, [&] {
    crypto::Sha1 s = {};
    unsigned char digest[crypto::kSha1Bytes];
    if (!crypto::Sha1Init(&s) || !crypto::Sha1Update(&s, data.data(), bytes) ||
        !crypto::Sha1Final(&s, digest)) {
      std::abort();
    }
  });
  double blocks = BestOf(rounds, [&] {
    crypto::AesKey k = {};
    crypto::AesInit(&k, key, static_cast<size_t>(keyBytes));
    for (size_t at = 0; at < bytes; at += out.size()) {
      crypto::AesEncryptBlocks(&k, data.data() + at, out.data(), out.size() / 16);
    }
    crypto::AesRelease(&k);
  });
  const EVP_CIPHER* cfb = keyBits == 128   ? EVP_aes_128_cfb128()
                          : keyBits == 192 ? EVP_aes_192_cfb128()
                                           : EVP_aes_256_cfb128();
  double serialCfb = BestOf(rounds, [&] {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_DecryptInit_ex(ctx, cfb, nullptr, key,
                       reinterpret_cast<const unsigned char*>(payload::kIvText));
    int n = 0;
    for (size_t at = 0; at < bytes; at += out.size()) {
      EVP_DecryptUpdate(ctx, out.data(), &n, data.data() + at, static_cast<int>(out.size()));
    }
    EVP_CIPHER_CTX_free(ctx);
  });
  payload::ReleaseCipherName(name);

  auto rate = [&](double s) { return static_cast<double>(bytes) / 1e6 / s; };
  std::printf("payload decryption, %zu MiB in memory, aes-%d-cfb, best of %d, one thread\n", mib,
              keyBits, rounds);
  std::printf("  core DecryptPayload with SHA-1 (output discarded): %8.1f MB/s\n", rate(core));
  std::printf("  SHA-1 alone:                                        %8.1f MB/s\n", rate(sha1));
  std::printf("  AES-%d block function alone (keystream):           %8.1f MB/s\n", keyBits,
              rate(blocks));
  std::printf("  OpenSSL's serial aes-%d-cfb decryption alone:      %8.1f MB/s\n", keyBits,
              rate(serialCfb));
  std::printf("ratio core/sha1: %.2f\n", sha1 / core);
  return 0;
}
