#include "payload_writer.h"

#include <cerrno>
#include <cstring>
#include <vector>

#include "crypto_states.h"
#include "orx/secret.h"
#include "payload/crypto_port.h"
#include "payload/format2_keys.h"
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

// The content: read to its end, encrypted serially (each keystream block
// waits for the cipher block before it) and written; format 1 hashes the
// plaintext (`sha`), format 2 authenticates the cipher text (`mac`).
bool EncryptContent(const PayloadJob& r, crypto::Cfb128* cfb, crypto::Sha1* sha,
                    crypto::HmacSha256* mac, std::FILE* out, std::string& error) {
  // The plaintext buffer is wiped on every way out, the cipher text needs not.
  Secret<unsigned char[kChunk]> plain;
  std::vector<unsigned char> enc(kChunk);
  ProgressBar progress("encrypting", r.inputBytes);
  size_t got;
  errno = 0;
  while ((got = std::fread(plain.value, 1, kChunk, r.input)) > 0) {
    if ((sha && !crypto::Sha1Update(sha, plain.value, got)) ||
        !crypto::Cfb128Encrypt(cfb, plain.value, enc.data(), got) ||
        (mac && !crypto::HmacSha256Update(mac, enc.data(), got))) {
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
  return true;
}

bool PutHeader(const payload::PayloadHeader& header, std::FILE* out,
               unsigned char bytes[payload::kMaxHeaderBytes], size_t* size,
               std::string& error) {
  *size = payload::WritePayloadHeader(header, bytes);
  if (*size == 0) {
    error = "the payload header cannot hold these fields";
    return false;
  }
  if (!Put(out, bytes, *size)) {
    error = WriteFailure();
    return false;
  }
  return true;
}

// A header with the stored name, for either format.
bool NamedHeader(const PayloadJob& r, payload::PayloadHeader& header, std::string& error) {
  if (!payload::IsPlainFileName(reinterpret_cast<const uint16_t*>(r.storedName.data()),
                                r.storedName.size())) {
    error = "the stored name is not a plain file name";
    return false;
  }
  header.format = r.format;
  header.nameUnits = static_cast<std::uint32_t>(r.storedName.size());
  std::memcpy(header.fileName, r.storedName.data(), r.storedName.size() * sizeof(char16_t));
  return true;
}

bool WriteFormat1(const PayloadJob& r, std::FILE* out, std::string& error) {
  const size_t n = static_cast<size_t>(r.keyBytes);
  // A fresh random file key, and random bytes for secondBlock, which no
  // reader uses.
  Secret<payload::FileKey> secret;
  payload::FileKey& fileKey = secret.value;
  fileKey.size = static_cast<std::uint32_t>(n);
  payload::PayloadHeader header{};
  if (!NamedHeader(r, header, error)) return false;
  header.signature = payload::kPayloadSignature;
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
  size_t headerSize = 0;
  if (!PutHeader(header, out, headerBytes, &headerSize, error)) return false;

  crypto::Cfb128 cfb = {};
  crypto::Sha1 sha = {};
  Cfb128Owner cfbOwner(&cfb);
  Sha1Owner shaOwner(&sha);
  if (!crypto::Cfb128Init(&cfb, fileKey.bytes, n, reinterpret_cast<const unsigned char*>(kIvText)) ||
      !crypto::Sha1Init(&sha)) {
    error = "the cipher could not be set up";
    return false;
  }
  if (!EncryptContent(r, &cfb, &sha, nullptr, out, error)) return false;
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

bool WriteFormat2(const PayloadJob& r, std::FILE* out, std::string& error) {
  // A fresh random file key, salt and IVs; the key sealed under the
  // password at the request's cost.
  struct Keys {
    payload::FileKey fileKey;
    payload::ContentKeys content;
  };
  Secret<Keys> keys;
  keys.value.fileKey.size = payload::kFileKey2Bytes;
  payload::PayloadHeader header{};
  if (!NamedHeader(r, header, error)) return false;
  header.iterations = r.iterations;
  if (!crypto::RandomBytes(keys.value.fileKey.bytes, payload::kFileKey2Bytes) ||
      !crypto::RandomBytes(header.salt, sizeof header.salt) ||
      !crypto::RandomBytes(header.keyIv, sizeof header.keyIv) ||
      !crypto::RandomBytes(header.contentIv, sizeof header.contentIv)) {
    error = "the random generator failed";
    return false;
  }
  int code = payload::SealFileKey2(keys.value.fileKey, r.passwordBytes, r.passwordLength, &header);
  if (code != payload::kOk) {
    error = "sealing the file key failed (code " + std::to_string(code) + ")";
    return false;
  }
  if (!payload::DeriveContentKeys(keys.value.fileKey, &keys.value.content)) {
    error = "the content keys could not be derived";
    return false;
  }
  unsigned char headerBytes[payload::kMaxHeaderBytes];
  size_t headerSize = 0;
  if (!PutHeader(header, out, headerBytes, &headerSize, error)) return false;

  // Encrypt-then-MAC: the tag covers the header and the cipher text.
  crypto::Cfb128 cfb = {};
  Cfb128Owner cfbOwner(&cfb);
  crypto::HmacSha256 mac = {};
  HmacOwner macOwner(&mac);
  if (!crypto::Cfb128Init(&cfb, keys.value.content.cipher, sizeof keys.value.content.cipher,
                          header.contentIv) ||
      !crypto::HmacSha256Init(&mac, keys.value.content.mac, sizeof keys.value.content.mac) ||
      !crypto::HmacSha256Update(&mac, headerBytes, headerSize)) {
    error = "the cipher could not be set up";
    return false;
  }
  if (!EncryptContent(r, &cfb, nullptr, &mac, out, error)) return false;
  unsigned char tag[payload::kTagBytes];
  if (!crypto::HmacSha256Final(&mac, tag)) {
    error = "the tag failed";
    return false;
  }
  if (!Put(out, tag, sizeof tag)) {
    error = WriteFailure();
    return false;
  }
  return true;
}

}  // namespace

bool WritePayload(const PayloadJob& r, std::FILE* out, std::string& error) {
  return r.format == 2 ? WriteFormat2(r, out, error) : WriteFormat1(r, out, error);
}

}  // namespace orx
