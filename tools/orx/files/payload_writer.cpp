#include "payload_writer.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "crypto_states.h"
#include "orx/unique_handle.h"
#include "payload/payload_crypto.h"
#include "payload/payload_header.h"
#include "payload/payload_open.h"
#include "platform.h"
#include "progress_bar.h"

namespace orx {

namespace {

using payload::kIvText;

constexpr std::uint32_t kSignature = 0xF8EBD601u;
constexpr size_t kChunk = 1 << 16;

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
  // A fresh random file key, and random bytes for secondBlock, which no
  // reader uses.
  Secret<payload::FileKey> secret;
  payload::FileKey& fileKey = secret.value;
  fileKey.size = static_cast<std::uint32_t>(n);
  std::vector<unsigned char> secondBlock(n);
  if (!crypto::RandomBytes(fileKey.bytes, n) || !crypto::RandomBytes(secondBlock.data(), n)) {
    error = "the random generator failed";
    return false;
  }
  unsigned char wrapped[32], keyCheck[payload::kKeyCheckBytes];
  int code = payload::WrapFileKey(fileKey, r.passwordBytes, r.passwordLength, wrapped, keyCheck);
  if (code != payload::kOk) {
    error = "wrapping the file key failed (code " + std::to_string(code) + ")";
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
  header.insert(header.end(), keyCheck, keyCheck + payload::kKeyCheckBytes);
  header.insert(header.end(), wrapped, wrapped + n);
  header.insert(header.end(), secondBlock.begin(), secondBlock.end());
  if (!Put(out, header.data(), header.size())) {
    error = WriteFailure();
    return false;
  }

  // The content: encrypted serially (each keystream block waits for the
  // cipher block before it), hashed as plaintext.
  crypto::Cfb128 cfb = {};
  crypto::Sha1 sha = {};
  Cfb128Owner cfbOwner(&cfb);
  Sha1Owner shaOwner(&sha);
  if (!crypto::Cfb128Init(&cfb, fileKey.bytes, n, reinterpret_cast<const unsigned char*>(kIvText)) ||
      !crypto::Sha1Init(&sha)) {
    error = "the cipher could not be set up";
    return false;
  }
  // The plaintext buffer is wiped on every way out, the cipher text needs not.
  Secret<unsigned char[kChunk]> plain;
  std::vector<unsigned char> enc(kChunk);
  ProgressBar progress("encrypting", r.inputBytes);
  size_t got;
  errno = 0;
  while ((got = std::fread(plain.value, 1, kChunk, r.input)) > 0) {
    if (!crypto::Sha1Update(&sha, plain.value, got) ||
        !crypto::Cfb128Encrypt(&cfb, plain.value, enc.data(), got)) {
      error = "the cipher failed";
      return false;
    }
    if (!Put(out, enc.data(), got)) {
      error = WriteFailure();
      return false;
    }
    if (platform::InterruptRequested()) {
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
  unsigned char digest[crypto::kSha1Bytes];
  const unsigned char tail[4] = {0, 0, 0, 0};
  if (!crypto::Sha1Final(&sha, digest)) {
    error = "the digest failed";
    return false;
  }
  if (!Put(out, digest, 20) || !Put(out, tail, 4)) {
    error = WriteFailure();
    return false;
  }
  return true;
}

}  // namespace orx
