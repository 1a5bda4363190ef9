// Throughput of the payload decryption against its parts, measured in one
// run: the core decrypting a 256 MiB cipher text from a file (plaintext
// discarded), the same EVP cipher alone and SHA-1 alone over the same bytes
// in memory. Since every byte passes the cipher and then the digest, the
// serial bound is 1 / (1/cipher + 1/sha1); the figure that matters is the
// core's share of that bound.
//
//   payload_bench [MiB] [128|192|256]
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "payload/payload_crypto.h"

using namespace orx::payload;

namespace {

size_t Discard(void*, const void*, size_t size) { return size; }

double Seconds(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename F>
double BestOf(int rounds, F&& f) {
  double best = 1e30;
  for (int i = 0; i < rounds; ++i) {
    auto start = std::chrono::steady_clock::now();
    f();
    double s = Seconds(start);
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
  char* name = MakeCipherName(kModeCfb, keyBytes);
  const EVP_CIPHER* cipher = LookupCipher(name);
  if (!cipher) {
    std::fprintf(stderr, "no cipher for %d bits\n", keyBits);
    return 2;
  }

  std::vector<unsigned char> data(bytes), out(1 << 20);
  unsigned char key[32];
  RAND_bytes(key, sizeof key);
  for (size_t at = 0; at < bytes; at += 1 << 20) RAND_bytes(data.data() + at, 1 << 20);

  std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") +
                     "/orx_payload_bench.bin";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f || std::fwrite(data.data(), 1, bytes, f) != bytes || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return 2;
  }

  const int rounds = 3;
  double core = BestOf(rounds, [&] {
    std::FILE* in = std::fopen(path.c_str(), "rb");
    PayloadStream pin = PayloadStreamOverFile(in);
    PayloadStream pout = {nullptr, nullptr, Discard, nullptr, nullptr};
    unsigned char digest[21];
    if (DecryptPayload(name, key, kIvText, &pin, bytes, &pout, digest) != kOk) std::abort();
    std::fclose(in);
  });
  double cipherOnly = BestOf(rounds, [&] {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_DecryptInit_ex(ctx, cipher, nullptr, key, reinterpret_cast<const unsigned char*>(kIvText));
    int n = 0;
    for (size_t at = 0; at < bytes; at += out.size()) {
      EVP_DecryptUpdate(ctx, out.data(), &n, data.data() + at, static_cast<int>(out.size()));
    }
    EVP_CIPHER_CTX_free(ctx);
  });
  double shaOnly = BestOf(rounds, [&] {
    unsigned char digest[EVP_MAX_MD_SIZE];
    EVP_Digest(data.data(), bytes, digest, nullptr, EVP_sha1(), nullptr);
  });
  std::remove(path.c_str());
  ReleaseCipherName(name);

  auto rate = [&](double s) { return static_cast<double>(bytes) / 1e6 / s; };
  double bound = 1.0 / (1.0 / rate(cipherOnly) + 1.0 / rate(shaOnly));
  std::printf("payload decryption, %zu MiB, aes-%d-cfb, best of %d\n", mib, keyBits, rounds);
  std::printf("  core DecryptPayload (file in, output discarded): %8.1f MB/s\n", rate(core));
  std::printf("  EVP aes-%d-cfb alone (memory):                 %8.1f MB/s\n", keyBits,
              rate(cipherOnly));
  std::printf("  SHA-1 alone (memory):                           %8.1f MB/s\n", rate(shaOnly));
  std::printf("  serial bound 1/(1/cipher+1/sha1):                %8.1f MB/s\n", bound);
  std::printf("  core / bound:                                    %8.3f\n", rate(core) / bound);
  return 0;
}
