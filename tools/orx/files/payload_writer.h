// The encrypting side: writes a payload the decryptor opens.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace orx {

struct PackRequest {
  std::FILE* input;           // the protected file, read to its end
  std::uint64_t inputBytes;   // for the progress bar only
  std::u16string storedName;  // must pass the stored-name rule
  const unsigned char* passwordBytes;
  size_t passwordLength;
  int keyBytes;  // 16, 24 or 32
};

// Writes signature, name, keyBytes, keyCheck = SHA-1(file key), the file key
// wrapped under the password key, a random secondBlock, the content
// encrypted under a fresh random file key, SHA-1 of the content and four zero
// bytes. False with `error` set; `out` then holds a partial payload.
bool WritePayload(const PackRequest& request, std::FILE* out, std::string& error);

}  // namespace orx
