// libFuzzer target: the header reader and the payload's decryption, over an
// in-memory payload, as the decryptor's confirm path drives them. The
// password is fixed ("fuzz"), so seeds made with it reach the decryption
// through a matching keyCheck; the decryption also runs when the check
// fails, so that damaged key material is exercised as well.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "memory_stream.h"
#include "payload/payload_crypto.h"
#include "payload/payload_header.h"

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
  int keyBytes = static_cast<int>(header.keyBytes);
  int error = 0;
  unsigned char* k = DerivePasswordKey(bytes, stated, keyBytes, &error);
  if (!k) __builtin_trap();
  size_t n = 0;
  unsigned char* fileKey =
      DecryptWithKey(header.wrappedKey, header.keyBytes, k, keyBytes, &n, kModeCfb, kIvText, &error);
  ReleaseBuffer(k);
  if (!fileKey || n != header.keyBytes) __builtin_trap();
  unsigned char* check = DigestBuffer(fileKey, n, "sha1");
  ReleaseBuffer(check);

  char* name = MakeCipherName(kModeCfb, keyBytes);
  unsigned char digest[21];
  int rc = DecryptPayload(name, fileKey, kIvText, &pin, static_cast<uint64_t>(header.cipherBytes),
                          &pout, digest);
  if (ReleaseCipherName(name) != kOk) __builtin_trap();
  ReleaseBuffer(fileKey);
  // The whole cipher text decrypts to exactly as many bytes, and the
  // trailer's digest is next in the stream.
  if (rc != kOk || out.data.size() != static_cast<size_t>(header.cipherBytes)) __builtin_trap();
  unsigned char stored[20];
  if (pin.read(pin.context, stored, 20) != 20) __builtin_trap();
  return 0;
}
