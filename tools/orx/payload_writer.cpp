#include "payload_writer.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "payload/payload_crypto.h"
#include "payload/payload_header.h"
#include "interrupt.h"
#include "progress_bar.h"

namespace orx {

namespace {

using payload::kIvText;

constexpr std::uint32_t kSignature = 0xF8EBD601u;
constexpr size_t kChunk = 1 << 16;

struct CipherCtxFree {
  void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
struct MdCtxFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};
struct BufferRelease {
  void operator()(unsigned char* p) const { payload::ReleaseBuffer(p); }
};

// Key bytes that are wiped when they go out of scope.
struct SecretBytes {
  explicit SecretBytes(size_t n) : bytes(n) {}
  ~SecretBytes() { OPENSSL_cleanse(bytes.data(), bytes.size()); }
  std::vector<unsigned char> bytes;
};

void PutUint32(std::vector<unsigned char>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

bool Put(std::FILE* out, const void* data, size_t size) {
  errno = 0;
  return std::fwrite(data, 1, size, out) == size;
}

std::string WriteFailure() {
  return std::string("cannot write the payload: ") + std::strerror(errno ? errno : EIO);
}

}  // namespace

bool WritePayload(const PackRequest& r, std::FILE* out, std::string& error) {
  const size_t n = static_cast<size_t>(r.keyBytes);
  if (!payload::IsPlainFileName(reinterpret_cast<const uint16_t*>(r.storedName.data()),
                                r.storedName.size())) {
    error = "the stored name is not a plain file name";
    return false;
  }
  SecretBytes fileKey(n);
  std::vector<unsigned char> secondBlock(n);
  if (RAND_bytes(fileKey.bytes.data(), static_cast<int>(n)) != 1 ||
      RAND_bytes(secondBlock.data(), static_cast<int>(n)) != 1) {
    error = "the random generator failed";
    return false;
  }
  int code = 0;
  std::unique_ptr<unsigned char, BufferRelease> passwordKey(
      payload::DerivePasswordKey(r.passwordBytes, r.passwordLength, r.keyBytes, &code));
  if (!passwordKey) {
    error = "password key derivation failed (code " + std::to_string(code) + ")";
    return false;
  }
  char* name = payload::MakeCipherName(payload::kModeCfb, r.keyBytes);
  std::string cipherName = name ? name : "";
  payload::ReleaseCipherName(name);
  std::vector<unsigned char> wrapped(n + 1);
  size_t wrappedBytes = 0;
  code = payload::EncryptBuffer(cipherName.c_str(), passwordKey.get(), kIvText,
                                fileKey.bytes.data(), n, wrapped.data(), &wrappedBytes);
  OPENSSL_cleanse(passwordKey.get(), n);
  unsigned char keyCheck[EVP_MAX_MD_SIZE];
  if (code != payload::kOk || wrappedBytes != n ||
      EVP_Digest(fileKey.bytes.data(), n, keyCheck, nullptr, EVP_sha1(), nullptr) != 1) {
    error = "wrapping the file key failed";
    return false;
  }

  std::vector<unsigned char> header;
  PutUint32(header, kSignature);
  PutUint32(header, static_cast<std::uint32_t>(r.storedName.size() * 2));
  for (char16_t unit : r.storedName) {
    header.push_back(static_cast<unsigned char>(unit & 0xFF));
    header.push_back(static_cast<unsigned char>(unit >> 8));
  }
  PutUint32(header, static_cast<std::uint32_t>(n));
  header.insert(header.end(), keyCheck, keyCheck + 20);
  header.insert(header.end(), wrapped.begin(), wrapped.begin() + static_cast<long>(n));
  header.insert(header.end(), secondBlock.begin(), secondBlock.end());
  if (!Put(out, header.data(), header.size())) {
    error = WriteFailure();
    return false;
  }

  std::unique_ptr<EVP_CIPHER_CTX, CipherCtxFree> ctx(EVP_CIPHER_CTX_new());
  std::unique_ptr<EVP_MD_CTX, MdCtxFree> md(EVP_MD_CTX_new());
  if (!ctx || !md ||
      EVP_EncryptInit_ex(ctx.get(), payload::LookupCipher(cipherName.c_str()), nullptr,
                         fileKey.bytes.data(),
                         reinterpret_cast<const unsigned char*>(kIvText)) != 1 ||
      EVP_DigestInit_ex(md.get(), EVP_sha1(), nullptr) != 1) {
    error = "the cipher could not be set up";
    return false;
  }
  std::vector<unsigned char> in(kChunk), enc(kChunk + 32);
  ProgressBar progress("encrypting", r.inputBytes);
  size_t got;
  errno = 0;
  while ((got = std::fread(in.data(), 1, kChunk, r.input)) > 0) {
    int produced = 0;
    if (EVP_DigestUpdate(md.get(), in.data(), got) != 1 ||
        EVP_EncryptUpdate(ctx.get(), enc.data(), &produced, in.data(), static_cast<int>(got)) != 1) {
      error = "the cipher failed";
      return false;
    }
    if (!Put(out, enc.data(), static_cast<size_t>(produced))) {
      error = WriteFailure();
      return false;
    }
    if (interrupt::Requested()) {
      error = "interrupted";
      return false;
    }
    progress.Advance(got);
    errno = 0;
  }
  if (std::ferror(r.input)) {
    error = std::string("cannot read the input file: ") + std::strerror(errno ? errno : EIO);
    return false;
  }
  int produced = 0;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int digestBytes = 0;
  const unsigned char tail[4] = {0, 0, 0, 0};
  if (EVP_EncryptFinal_ex(ctx.get(), enc.data(), &produced) != 1 ||
      !Put(out, enc.data(), static_cast<size_t>(produced)) ||
      EVP_DigestFinal_ex(md.get(), digest, &digestBytes) != 1 || digestBytes != 20 ||
      !Put(out, digest, 20) || !Put(out, tail, 4)) {
    error = WriteFailure();
    return false;
  }
  return true;
}

}  // namespace orx
