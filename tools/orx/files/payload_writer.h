// The encrypting side: writes a payload the decryptor opens, a file read
// and encrypted with progress shown, between the header and the trailer of
// the payload format (payload/payload_header.h), in format 1 or 2.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace orx {

struct PayloadJob {
  std::FILE* input;           // the protected file, read to its end
  std::uint64_t inputBytes;   // for the progress bar only
  std::u16string storedName;  // must pass the stored-name rule
  const unsigned char* passwordBytes;  // of the format (PasswordBytesFor)
  size_t passwordLength;
  std::uint32_t format;      // 1 or 2
  int keyBytes;              // format 1: 16, 24 or 32 (format 2 is AES-256)
  std::uint32_t iterations;  // format 2: the PBKDF2 cost, within the readers' bounds
};

// Writes the header, the content encrypted under a fresh random file key
// and the trailer. Format 1: the file key wrapped under the password key, a
// random secondBlock, the plaintext's SHA-1 behind the cipher text. Format
// 2: random salt and IVs, the file key sealed under PBKDF2 of the password
// bytes, the content under its derived key and the tag behind it. False
// with `error` set; `out` then holds a partial payload.
bool WritePayload(const PayloadJob& request, std::FILE* out, std::string& error);

}  // namespace orx
