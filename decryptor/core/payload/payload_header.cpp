#include "payload/payload_header.h"

#include <string.h>

namespace orx::payload {

namespace {

uint32_t GetUint32(const unsigned char* b) {
  return static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
         static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
}

int ReadUint32(PayloadStream* s, uint32_t* value) {
  unsigned char b[4];
  int result = ReadExactly(s, b, 4, kHeaderTruncated);
  if (result == kOk) *value = GetUint32(b);
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

int MeasureCipherText(PayloadStream* payload, int64_t trailerBytes, int64_t* cipherBytes) {
  int64_t position = payload->tell(payload->context);
  if (position < 0 || payload->seek(payload->context, 0, SEEK_END) != 0) return kStreamFailed;
  int64_t end = payload->tell(payload->context);
  if (payload->seek(payload->context, position, SEEK_SET) != 0 || end < 0) return kStreamFailed;
  int64_t length = end - position - trailerBytes;
  if (length < 0) return kPayloadTooShort;
  *cipherBytes = length;
  return kOk;
}

namespace {

// The name, nameBytes of them (already checked against kMaxNameBytes), into
// `raw` (the name buffer itself, or the name's place among the header's
// bytes). Each unit is then rebuilt from its own two bytes, so the result
// is little-endian on any host.
int ReadName(PayloadStream* payload, PayloadHeader* header, unsigned char* raw) {
  int result = ReadExactly(payload, raw, header->nameBytes, kHeaderTruncated);
  if (result != kOk) return result;
  header->nameUnits = header->nameBytes / 2;
  for (uint32_t i = 0; i < header->nameUnits; ++i) {
    header->fileName[i] = static_cast<uint16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
  }
  header->fileName[header->nameUnits] = 0;
  return kOk;
}

// The fields after format 1's signature.
int ReadFormat1(PayloadStream* payload, PayloadHeader* header) {
  int result = ReadUint32(payload, &header->nameBytes);
  if (result != kOk) return result;
  if (header->nameBytes > kMaxNameBytes) return kNameTooLong;
  if ((result = ReadName(payload, header, reinterpret_cast<unsigned char*>(header->fileName))) !=
          kOk ||
      (result = ReadUint32(payload, &header->keyBytes)) != kOk) {
    return result;
  }
  uint32_t n = header->keyBytes;
  if (!IsKeyLength(n)) return kBadKeyBytes;
  if ((result = ReadExactly(payload, header->keyCheck, kKeyCheckBytes, kHeaderTruncated)) !=
          kOk ||
      (result = ReadExactly(payload, header->wrappedKey, n, kHeaderTruncated)) != kOk) {
    return result;
  }
  return ReadExactly(payload, header->secondBlock, n, kHeaderTruncated);
}

// The fields after format 2's signature, in three reads into the header's
// bytes (kept whole for the tag): the fixed fields before the name, which
// are refused at once (the cost long before anything is derived), the
// name, and the keys' fields after it.
int ReadFormat2(PayloadStream* payload, PayloadHeader* header) {
  unsigned char* raw = header->raw;
  PutUint32(raw, header->signature);
  int result = ReadExactly(payload, raw + 4, kFormat2NameOffset - 4, kHeaderTruncated);
  if (result != kOk) return result;
  header->kdf = GetUint32(raw + 8);
  header->iterations = GetUint32(raw + 12);
  memcpy(header->salt, raw + 16, kSaltBytes);
  header->nameBytes = GetUint32(raw + 32);
  if (GetUint32(raw + 4) != kFormat2Version) return kBadVersion;
  if (header->kdf != kKdfPbkdf2HmacSha256) return kBadKdf;
  if (header->iterations < kMinIterations || header->iterations > kMaxIterations) {
    return kBadCost;
  }
  if (header->nameBytes & 1) return kOddNameBytes;
  if (header->nameBytes > kMaxNameBytes) return kNameTooLong;
  if ((result = ReadName(payload, header, raw + kFormat2NameOffset)) != kOk) return result;
  unsigned char* keys = raw + kFormat2NameOffset + header->nameBytes;
  result = ReadExactly(payload, keys, kFormat2FixedBytes - kFormat2NameOffset, kHeaderTruncated);
  if (result != kOk) return result;
  header->keyBytes = kWrappedKey2Bytes;
  memcpy(header->keyIv, keys, kIvBytes);
  memcpy(header->wrappedKey, keys + kIvBytes, kWrappedKey2Bytes);
  memcpy(header->keyCheck, keys + kIvBytes + kWrappedKey2Bytes, kKeyCheck2Bytes);
  memcpy(header->contentIv, keys + kIvBytes + kWrappedKey2Bytes + kKeyCheck2Bytes, kIvBytes);
  header->rawBytes = static_cast<uint32_t>(kFormat2FixedBytes + header->nameBytes);
  return kOk;
}

}  // namespace

int ReadPayloadHeader(PayloadStream* payload, PayloadHeader* header) {
  memset(header, 0, sizeof *header);
  int result = ReadUint32(payload, &header->signature);
  if (result != kOk) return result;
  if (IsPayloadSignature(header->signature)) {
    header->format = 1;
    result = ReadFormat1(payload, header);
  } else if (header->signature == kFormat2Signature) {
    header->format = 2;
    result = ReadFormat2(payload, header);
  } else {
    return kBadSignature;
  }
  if (result != kOk) return result;
  if (!IsPlainFileName(header->fileName, header->nameUnits)) return kBadStoredName;
  header->headerEnd = payload->tell(payload->context);
  if (header->headerEnd < 0) return kStreamFailed;
  return MeasureCipherText(payload, TrailerBytesOf(*header), &header->cipherBytes);
}

size_t WritePayloadHeader(const PayloadHeader& header, unsigned char out[kMaxHeaderBytes]) {
  const uint32_t n = header.keyBytes;
  const bool format2 = header.format == 2;
  if ((format2 ? header.iterations < kMinIterations || header.iterations > kMaxIterations
               : header.format != 1 || !IsPayloadSignature(header.signature) ||
                     !IsKeyLength(n)) ||
      header.nameUnits * 2 > kMaxNameBytes ||
      !IsPlainFileName(header.fileName, header.nameUnits)) {
    return 0;
  }
  unsigned char* p = out;
  if (format2) {
    p = PutUint32(p, kFormat2Signature);
    p = PutUint32(p, kFormat2Version);
    p = PutUint32(p, kKdfPbkdf2HmacSha256);
    p = PutUint32(p, header.iterations);
    p = Put(p, header.salt, kSaltBytes);
  } else {
    p = PutUint32(p, header.signature);
  }
  p = PutUint32(p, header.nameUnits * 2);
  for (uint32_t i = 0; i < header.nameUnits; ++i) {
    *p++ = static_cast<unsigned char>(header.fileName[i] & 0xFF);
    *p++ = static_cast<unsigned char>(header.fileName[i] >> 8);
  }
  if (format2) {
    p = Put(p, header.keyIv, kIvBytes);
    p = Put(p, header.wrappedKey, kWrappedKey2Bytes);
    p = Put(p, header.keyCheck, kKeyCheck2Bytes);
    p = Put(p, header.contentIv, kIvBytes);
  } else {
    p = PutUint32(p, n);
    p = Put(p, header.keyCheck, kKeyCheckBytes);
    p = Put(p, header.wrappedKey, n);
    p = Put(p, header.secondBlock, n);
  }
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
