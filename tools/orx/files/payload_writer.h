// The encrypting side: writes a payload the decryptor opens, a file read
// and encrypted with progress shown, between the header and the trailer of
// the payload format (payload/payload_header.h).
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

// Writes the header (a fresh random file key wrapped under the password
// key, a random secondBlock), the content encrypted under the file key and
// the trailer. False with `error` set; `out` then holds a partial payload.
bool WritePayload(const PackRequest& request, std::FILE* out, std::string& error);

}  // namespace orx
