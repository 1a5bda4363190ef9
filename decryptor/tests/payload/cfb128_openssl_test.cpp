// The composed CFB128 against OpenSSL's own aes-*-cfb128 (host only), on
// random keys, IVs and data of sizes around the block and around the
// streamed decryption's 16 KiB chunk: the encryption gives the same bytes,
// and OpenSSL's cipher text decrypts back through the serial path, through
// runs split at odd places and through DecryptPayload.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include "memory_stream.h"
#include "payload/cfb128.h"
#include "payload/payload_crypto.h"
#include "payload_builder.h"

namespace orx::crypto {
namespace {

using payload::testing::Bytes;

Bytes OpenSslCfb(const Bytes& key, const Bytes& iv, const Bytes& data, bool encrypt) {
  const EVP_CIPHER* c = key.size() == 16   ? EVP_aes_128_cfb128()
                        : key.size() == 24 ? EVP_aes_192_cfb128()
                                           : EVP_aes_256_cfb128();
  EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
  Bytes out(data.size() + 16);
  int n = 0, f = 0;
  EXPECT_EQ(EVP_CipherInit_ex(ctx, c, nullptr, key.data(), iv.data(), encrypt), 1);
  EXPECT_EQ(EVP_CipherUpdate(ctx, out.data(), &n, data.data(), static_cast<int>(data.size())), 1);
  EXPECT_EQ(EVP_CipherFinal_ex(ctx, out.data() + n, &f), 1);
  EVP_CIPHER_CTX_free(ctx);
  out.resize(static_cast<size_t>(n + f));
  return out;
}

Bytes Random(size_t n) {
  Bytes b(n);
  if (n) RAND_bytes(b.data(), static_cast<int>(n));
  return b;
}

TEST(Cfb128, MatchesOpenSslOnRandomData) {
  const size_t chunk = 16384;
  for (size_t keyBytes : {16u, 24u, 32u}) {
    for (size_t size : {size_t{0}, size_t{1}, size_t{15}, size_t{16}, size_t{17}, chunk - 1,
                        chunk, chunk + 1, (size_t{1} << 20) + 7}) {
      SCOPED_TRACE(::testing::Message() << keyBytes << " bytes of key, " << size << " of data");
      const Bytes key = Random(keyBytes), iv = Random(16), plain = Random(size);
      const Bytes cipher = OpenSslCfb(key, iv, plain, true);

      Cfb128 s = {};
      Bytes mine(size);
      ASSERT_TRUE(Cfb128Init(&s, key.data(), keyBytes, iv.data()));
      ASSERT_TRUE(Cfb128Encrypt(&s, plain.data(), mine.data(), size));
      Cfb128Release(&s);
      ASSERT_EQ(mine, cipher);

      // Runs of 1, 2, 3, ... 40 bytes, then chunks: every alignment.
      ASSERT_TRUE(Cfb128Init(&s, key.data(), keyBytes, iv.data()));
      Bytes back(size + 16);
      size_t at = 0;
      for (size_t n = 1; at < size; n = n < 40 ? n + 1 : chunk) {
        n = std::min(n, size - at);
        ASSERT_TRUE(Cfb128DecryptRun(&s, cipher.data() + at, back.data() + at, n));
        at += n;
      }
      Cfb128Release(&s);
      back.resize(size);
      ASSERT_EQ(back, plain);

      payload::testing::MemoryStream in, out;
      in.data = cipher;
      in.lend = size % 2 == 1;  // both ways of taking the cipher text
      payload::PayloadStream pin = in.Port(), pout = out.Port();
      unsigned char digest[21];
      const std::string name = "aes-" + std::to_string(keyBytes * 8) + "-cfb";
      Bytes ivText(iv);
      ivText.push_back(0);
      ASSERT_EQ(payload::DecryptPayload(name.c_str(), key.data(),
                                        reinterpret_cast<const char*>(ivText.data()), &pin, size,
                                        &pout, digest),
                payload::kOk);
      ASSERT_EQ(out.data, plain);
    }
  }
}

}  // namespace
}  // namespace orx::crypto
