// libFuzzer target: the header reader and the opening sequence the
// decryptor and orx ship (payload_open.h), over an in-memory payload. The
// password is fixed ("fuzz"), so seeds made with it reach the decryption
// through a matching keyCheck; for any other input the decryption runs
// under the wrapped key's bytes, so that it sees damaged input too.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "memory_stream.h"
#include "payload/payload_open.h"

using namespace orx::payload;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing::MemoryStream in, out;
  in.data.assign(data, data + size);
  in.lend = size & 1;  // the cipher text read, or lent in place
  PayloadStream pin = in.Port(), pout = out.Port();
  PayloadHeader header;
  if (ReadPayloadHeader(&pin, &header) != kOk) return 0;
  // The reader's promises: a plain name, a known key length, and a cipher
  // text that fits in what is left after the header and the trailer.
  if (!IsPlainFileName(header.fileName, header.nameUnits) ||
      (header.keyBytes != 16 && header.keyBytes != 24 && header.keyBytes != 32) ||
      header.cipherBytes < 0 ||
      header.headerEnd + header.cipherBytes + kTrailerBytes != static_cast<int64_t>(size)) {
    __builtin_trap();
  }

  static const uint16_t kPassword[] = {'f', 'u', 'z', 'z'};
  unsigned char bytes[kPasswordBytesCapacity];
  size_t stated = PasswordBytesFromText(kPassword, 4, bytes);
  FileKey key;
  int rc = UnlockPayload(header, bytes, stated, &key);
  if (rc == kWrongPassword) {
    memcpy(key.bytes, header.wrappedKey, sizeof key.bytes);
    key.size = header.keyBytes;
  } else if (rc != kOk || key.size != header.keyBytes) {
    __builtin_trap();
  }
  rc = DecryptAndVerify(header, key, &pin, &pout);
  // The whole cipher text decrypts to exactly as many bytes, and only a
  // verified one is kOk.
  if (out.data.size() != static_cast<size_t>(header.cipherBytes)) __builtin_trap();
  if (rc != kOk && rc != kDigestMismatch) __builtin_trap();
  return 0;
}
