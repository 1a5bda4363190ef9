#include "payload_writer.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "crypto_states.h"
#include "orx/secret.h"
#include "payload/crypto_port.h"
#include "payload/payload_header.h"
#include "payload/payload_keys.h"
#include "platform.h"
#include "progress_bar.h"

namespace orx {

namespace {

using payload::kIvText;

constexpr size_t kChunk = 1 << 16;

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
  payload::PayloadHeader header{};
  header.format = 1;
  header.signature = payload::kPayloadSignature;
  header.nameUnits = static_cast<std::uint32_t>(r.storedName.size());
  std::memcpy(header.fileName, r.storedName.data(), r.storedName.size() * sizeof(char16_t));
  header.keyBytes = fileKey.size;
  if (!crypto::RandomBytes(fileKey.bytes, n) || !crypto::RandomBytes(header.secondBlock, n)) {
    error = "the random generator failed";
    return false;
  }
  int code = payload::WrapFileKey(fileKey, r.passwordBytes, r.passwordLength, header.wrappedKey,
                                  header.keyCheck);
  if (code != payload::kOk) {
    error = "wrapping the file key failed (code " + std::to_string(code) + ")";
    return false;
  }
  unsigned char headerBytes[payload::kMaxHeaderBytes];
  size_t headerSize = payload::WritePayloadHeader(header, headerBytes);
  if (headerSize == 0) {
    error = "the payload header cannot hold these fields";
    return false;
  }
  if (!Put(out, headerBytes, headerSize)) {
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
  if (!crypto::Sha1Final(&sha, digest)) {
    error = "the digest failed";
    return false;
  }
  unsigned char trailer[payload::kTrailerBytes];
  payload::WritePayloadTrailer(digest, trailer);
  if (!Put(out, trailer, sizeof trailer)) {
    error = WriteFailure();
    return false;
  }
  return true;
}

}  // namespace orx
