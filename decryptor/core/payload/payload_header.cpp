#include "payload/payload_header.h"

#include <string.h>

#include "payload/payload_crypto.h"

namespace orx::payload {

namespace {

bool ReadExact(PayloadStream* s, void* buffer, size_t size) {
  return s->read(s->context, buffer, size) == size;
}

bool ReadUint32(PayloadStream* s, uint32_t* value) {
  unsigned char b[4];
  if (!ReadExact(s, b, 4)) return false;
  *value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
           static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
  return true;
}

uint16_t Upper(uint16_t c) { return c >= 'a' && c <= 'z' ? static_cast<uint16_t>(c - 32) : c; }

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 (and the superscript forms Windows
// also reserves), compared on the part before the first dot with trailing
// blanks removed, as Windows does when it maps a name to a device.
bool IsDeviceName(const uint16_t* name, size_t units) {
  size_t base = 0;
  while (base < units && name[base] != '.') ++base;
  while (base > 0 && name[base - 1] == ' ') --base;
  if (base != 3 && base != 4) return false;
  char stem[4];
  for (size_t i = 0; i < 3; ++i) stem[i] = static_cast<char>(Upper(name[i]) & 0x7F);
  stem[3] = 0;
  for (size_t i = 0; i < 3; ++i) {
    if (Upper(name[i]) > 0x7F) return false;
  }
  if (base == 3) {
    return !strcmp(stem, "CON") || !strcmp(stem, "PRN") || !strcmp(stem, "AUX") ||
           !strcmp(stem, "NUL");
  }
  uint16_t digit = name[3];
  bool numbered = (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 ||
                  digit == 0xB3;
  return numbered && (!strcmp(stem, "COM") || !strcmp(stem, "LPT"));
}

// Characters that change how the rest of a name is shown (C1 controls,
// bidirectional marks, embeddings, overrides and isolates): with U+202E,
// "inv<U+202E>fdp.exe" is shown as "invexe.pdf".
bool IsHiddenControl(uint16_t c) {
  return (c >= 0x80 && c <= 0x9F) || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069) || c == 0x061C;
}

}  // namespace

bool IsPayloadSignature(uint32_t signature) {
  return (signature >> 8) == 0xF8EBD6u && (signature & 0x01u) && !(signature & 0x10u);
}

bool IsPlainFileName(const uint16_t* name, size_t units) {
  if (!name || units < 1 || units > 255) return false;
  for (size_t i = 0; i < units; ++i) {
    uint16_t c = name[i];
    if (c < 0x20 || IsHiddenControl(c)) return false;
    switch (c) {
      case '\\': case '/': case ':': case '*': case '?':
      case '"': case '<': case '>': case '|':
        return false;
      default:
        break;
    }
  }
  // "." and ".." end in a dot, so the trailing-dot rule refuses them too.
  uint16_t last = name[units - 1];
  if (last == '.' || last == ' ') return false;
  return !IsDeviceName(name, units);
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
  if (!ReadUint32(payload, &header->signature)) return kHeaderTruncated;
  if (!IsPayloadSignature(header->signature)) return kBadSignature;
  if (!ReadUint32(payload, &header->nameBytes)) return kHeaderTruncated;
  if (header->nameBytes > kMaxNameBytes) return kNameTooLong;

  // The bytes land in the name buffer itself; each unit is then rebuilt from
  // its own two bytes, so the result is little-endian on any host.
  unsigned char* raw = reinterpret_cast<unsigned char*>(header->fileName);
  if (!ReadExact(payload, raw, header->nameBytes)) return kHeaderTruncated;
  header->nameUnits = header->nameBytes / 2;
  for (uint32_t i = 0; i < header->nameUnits; ++i) {
    header->fileName[i] = static_cast<uint16_t>(raw[2 * i] | raw[2 * i + 1] << 8);
  }
  header->fileName[header->nameUnits] = 0;

  if (!ReadUint32(payload, &header->keyBytes)) return kHeaderTruncated;
  uint32_t n = header->keyBytes;
  if (n != 16 && n != 24 && n != 32) return kBadKeyBytes;
  if (!ReadExact(payload, header->keyCheck, kKeyCheckBytes) ||
      !ReadExact(payload, header->wrappedKey, n) || !ReadExact(payload, header->secondBlock, n)) {
    return kHeaderTruncated;
  }
  if (!IsPlainFileName(header->fileName, header->nameUnits)) return kBadStoredName;
  header->headerEnd = payload->tell(payload->context);
  if (header->headerEnd < 0) return kStreamFailed;
  return MeasureCipherText(payload, &header->cipherBytes);
}

}  // namespace orx::payload
