#include "payload/payload_header.h"

#include <string.h>

namespace orx::payload {

namespace {

int ReadUint32(PayloadStream* s, uint32_t* value) {
  unsigned char b[4];
  int result = ReadExactly(s, b, 4, kHeaderTruncated);
  if (result == kOk) {
    *value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
             static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  }
  return result;
}

unsigned char* PutUint32(unsigned char* out, uint32_t value) {
  for (int i = 0; i < 4; ++i) *out++ = static_cast<unsigned char>(value >> (8 * i));
  return out;
}

unsigned char* Put(unsigned char* out, const void* data, size_t size) {
  memcpy(out, data, size);
  return out + size;
}

bool IsKeyLength(uint32_t n) { return n == 16 || n == 24 || n == 32; }

}  // namespace

bool IsPayloadSignature(uint32_t signature) {
  return (signature >> 8) == 0xF8EBD6u && (signature & 0x01u) && !(signature & 0x10u);
}

int MeasureCipherText(PayloadStream* payload, int64_t* cipherBytes) {
  int64_t position = payload->tell(payload->context);
  if (position < 0 || payload->seek(payload->context, 0, SEEK_END) != 0) return kStreamFailed;
  int64_t end = payload->tell(payload->context);
  if (payload->seek(payload->context, position, SEEK_SET) != 0 || end < 0) return kStreamFailed;
  int64_t length = end - position - kTrailerBytes;
  if (length < 0) return kPayloadTooShort;
  *cipherBytes = length;
  return kOk;
}

int ReadPayloadHeader(PayloadStream* payload, PayloadHeader* header) {
  memset(header, 0, sizeof *header);
  int result = ReadUint32(payload, &header->signature);
  if (result != kOk) return result;
  if (!IsPayloadSignature(header->signature)) return kBadSignature;
  if ((result = ReadUint32(payload, &header->nameBytes)) != kOk) return result;
  if (header->nameBytes > kMaxNameBytes) return kNameTooLong;

  // The bytes land in the name buffer itself; each unit is then rebuilt from
  // its own two bytes, so the result is little-endian on any host.
  unsigned char* raw = reinterpret_cast<unsigned char*>(header->fileName);
  if ((result = ReadExactly(payload, raw, header->nameBytes, kHeaderTruncated)) != kOk) {
    return result;
  }
  header->nameUnits = header->nameBytes / 2;
  for (uint32_t i = 0; i < header->nameUnits; ++i) {
    header->fileName[i] = static_cast<uint16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
  }
  header->fileName[header->nameUnits] = 0;

  if ((result = ReadUint32(payload, &header->keyBytes)) != kOk) return result;
  uint32_t n = header->keyBytes;
  if (!IsKeyLength(n)) return kBadKeyBytes;
  if ((result = ReadExactly(payload, header->keyCheck, kKeyCheckBytes, kHeaderTruncated)) !=
          kOk ||
      (result = ReadExactly(payload, header->wrappedKey, n, kHeaderTruncated)) != kOk ||
      (result = ReadExactly(payload, header->secondBlock, n, kHeaderTruncated)) != kOk) {
    return result;
  }
  if (!IsPlainFileName(header->fileName, header->nameUnits)) return kBadStoredName;
  header->headerEnd = payload->tell(payload->context);
  if (header->headerEnd < 0) return kStreamFailed;
  return MeasureCipherText(payload, &header->cipherBytes);
}

size_t WritePayloadHeader(const PayloadHeader& header, unsigned char out[kMaxHeaderBytes]) {
  const uint32_t n = header.keyBytes;
  if (!IsPayloadSignature(header.signature) || !IsKeyLength(n) ||
      header.nameUnits * 2 > kMaxNameBytes ||
      !IsPlainFileName(header.fileName, header.nameUnits)) {
    return 0;
  }
  unsigned char* p = PutUint32(out, header.signature);
  p = PutUint32(p, header.nameUnits * 2);
  for (uint32_t i = 0; i < header.nameUnits; ++i) {
    *p++ = static_cast<unsigned char>(header.fileName[i] & 0xFF);
    *p++ = static_cast<unsigned char>(header.fileName[i] >> 8);
  }
  p = PutUint32(p, n);
  p = Put(p, header.keyCheck, kKeyCheckBytes);
  p = Put(p, header.wrappedKey, n);
  p = Put(p, header.secondBlock, n);
  return static_cast<size_t>(p - out);
}

int ReadPayloadTrailer(PayloadStream* payload, PayloadTrailer* trailer) {
  return ReadExactly(payload, trailer, sizeof *trailer, kNoStoredDigest);
}

void WritePayloadTrailer(const uint8_t plainDigest[kSha1Bytes],
                         unsigned char out[kTrailerBytes]) {
  memcpy(out, plainDigest, kSha1Bytes);
  memset(out + kSha1Bytes, 0, kTailBytes);
}

}  // namespace orx::payload
