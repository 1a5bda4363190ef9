// libFuzzer target: the header reader and the opening sequence the
// decryptor and orx ship (payload_open.h), over an in-memory payload of
// either format. The password is fixed ("fuzz"), so seeds made with it
// reach the decryption through a matching keyCheck; for any other input
// the decryption runs under the wrapped key's bytes, so that it sees
// damaged input too, up to format 2's tag check.
//
// A format-2 unlock costs a whole PBKDF2 (tens of milliseconds at the
// lowest cost), so its outcome is remembered per key fields: everything it
// depends on but the fixed password. Mutations elsewhere (the name, the
// cipher text, the tag) then run at full speed.
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include <map>
#include <string>
#include <utility>

#include "memory_stream.h"
#include "payload/payload_open.h"

using namespace orx::payload;

namespace {

int Unlock(const PayloadHeader& header, const PasswordBytes& password, FileKey* key) {
  if (header.format != 2) return UnlockPayload(header, password.bytes, password.length, key);
  static std::map<std::string, std::pair<int, FileKey>> remembered;
  std::string fields(reinterpret_cast<const char*>(&header.iterations), 4);
  for (const auto& f : {std::make_pair(header.salt, kSaltBytes),
                        std::make_pair(header.keyIv, kIvBytes),
                        std::make_pair(header.wrappedKey, kWrappedKey2Bytes),
                        std::make_pair(header.keyCheck, kKeyCheck2Bytes)}) {
    fields.append(reinterpret_cast<const char*>(f.first), f.second);
  }
  auto found = remembered.find(fields);
  if (found == remembered.end()) {
    if (remembered.size() > 4096) remembered.clear();
    FileKey k;
    int rc = UnlockPayload(header, password.bytes, password.length, &k);
    found = remembered.emplace(fields, std::make_pair(rc, k)).first;
  }
  *key = found->second.second;
  return found->second.first;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  testing::MemoryStream in, out;
  in.data.assign(data, data + size);
  in.lend = size & 1;  // the cipher text read, or lent in place
  PayloadStream pin = in.Port(), pout = out.Port();
  PayloadHeader header;
  if (ReadPayloadHeader(&pin, &header) != kOk) return 0;
  // The reader's promises: a known format, a plain name, a known key
  // length, a cost in bounds, and a cipher text that fits in what is left
  // after the header and the trailer.
  if ((header.format != 1 && header.format != 2) ||
      !IsPlainFileName(header.fileName, header.nameUnits) ||
      (header.keyBytes != 16 && header.keyBytes != 24 && header.keyBytes != 32) ||
      (header.format == 2 &&
       (header.iterations < kMinIterations || header.iterations > kMaxIterations ||
        header.keyBytes != 32 || header.rawBytes != header.headerEnd)) ||
      header.cipherBytes < 0 ||
      header.headerEnd + header.cipherBytes + TrailerBytesOf(header) !=
          static_cast<int64_t>(size)) {
    __builtin_trap();
  }

  static const uint16_t kPassword[] = {'f', 'u', 'z', 'z'};
  PasswordBytes password;
  if (PasswordBytesFor(header.format, kPassword, 4, &password) != kOk) __builtin_trap();
  FileKey key;
  int rc = Unlock(header, password, &key);
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
  if (rc != kOk && rc != (header.format == 2 ? kTagMismatch : kDigestMismatch)) __builtin_trap();
  return 0;
}
