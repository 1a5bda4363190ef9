// The header fields and the cipher of an archive or payload, of either
// format: the command `orx inspect ARCHIVE-OR-PAYLOAD`.
#include <cinttypes>
#include <cstdio>

#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "path_arg.h"
#include "report.h"
#include "payload/payload_crypto.h"
#include "payload_file.h"

namespace orx {

namespace {

namespace pl = payload;

std::string Hex(const unsigned char* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s.push_back(digits[p[i] >> 4]);
    s.push_back(digits[p[i] & 15]);
  }
  return s;
}

void PrintField(const char* name, const std::string& value) {
  std::printf("%-13s %s\n", name, value.c_str());
}

// Whether the reader got past the fields before the name (`fixed`) and
// past the keys' fields (`keys`) before its result `rc`.
bool FixedFieldsRead(const pl::PayloadHeader& h, int rc) {
  if (rc == pl::kBadSignature || rc == pl::kHeaderTruncated) return false;
  return h.format == 1 || (rc != pl::kBadVersion && rc != pl::kBadKdf);
}
bool KeysRead(int rc) {
  return rc == pl::kOk || rc == pl::kPayloadTooShort || rc == pl::kBadStoredName;
}

// Every field the reader got to, in the format's order.
void PrintHeader(const PayloadFile& pf) {
  const pl::PayloadHeader& h = pf.header();
  const int rc = pf.headerResult();
  PrintField("container:", pf.inArchive() ? "archive" : "bare payload");
  PrintField("payload at:", std::to_string(pf.offset()));
  char signature[32];
  std::snprintf(signature, sizeof signature, "0x%08" PRIX32 "%s", h.signature,
                h.format == 2 ? " (\"ORXP\")" : "");
  PrintField("signature:", signature);
  PrintField("format:", h.format ? std::to_string(h.format) : "unknown");
  const bool fixed = FixedFieldsRead(h, rc), keys = KeysRead(rc);
  if (h.format == 2 && fixed) {
    PrintField("kdf:", std::to_string(h.kdf) +
                           (h.kdf == pl::kKdfPbkdf2HmacSha256 ? " (PBKDF2-HMAC-SHA256)" : ""));
    PrintField("iterations:", std::to_string(h.iterations));
    PrintField("salt:", Hex(h.salt, sizeof h.salt));
  }
  if (fixed && (h.format == 1 || rc != pl::kBadCost)) {
    PrintField("nameBytes:", std::to_string(h.nameBytes));
  }
  if (h.nameUnits) PrintField("fileName:", pf.NameForDisplay());
  if (h.format == 2 && keys) {
    PrintField("keyIv:", Hex(h.keyIv, sizeof h.keyIv));
    PrintField("wrappedKey:", Hex(h.wrappedKey, pl::kWrappedKey2Bytes));
    PrintField("keyCheck:", Hex(h.keyCheck, pl::kKeyCheck2Bytes));
    PrintField("contentIv:", Hex(h.contentIv, sizeof h.contentIv));
    PrintField("cipher:", "aes-256-cfb (IV: contentIv; key and MAC key from the file key)");
  }
  if (h.format == 1 && h.keyBytes) {
    PrintField("keyBytes:", std::to_string(h.keyBytes));
    char* cipher = pl::MakeCipherName(pl::kModeCfb, static_cast<int>(h.keyBytes));
    PrintField("cipher:", std::string(cipher ? cipher : "?") + " (IV: first 16 bytes of \"" +
                              pl::kIvText + "\")");
    pl::ReleaseCipherName(cipher);
  }
  if (h.format == 1 && keys) {
    PrintField("keyCheck:", Hex(h.keyCheck, pl::kKeyCheckBytes));
    PrintField("wrappedKey:", Hex(h.wrappedKey, h.keyBytes));
    PrintField("secondBlock:", Hex(h.secondBlock, h.keyBytes));
  }
}

// The lengths of a well-formed payload and what follows its cipher text.
void PrintLengthsAndTrailer(PayloadFile& pf) {
  const pl::PayloadHeader& h = pf.header();
  PrintField("header bytes:", std::to_string(h.headerEnd - pf.offset()));
  PrintField("cipherText:", std::to_string(h.cipherBytes) + " bytes");
  auto& s = pf.stream();
  if (s.seek(s.context, h.headerEnd + h.cipherBytes, SEEK_SET) != 0) return;
  if (h.format == 2) {
    unsigned char tag[pl::kTagBytes];
    if (pl::ReadExactly(&s, tag, sizeof tag, pl::kNoStoredDigest) == pl::kOk) {
      PrintField("tag:", Hex(tag, sizeof tag));
    }
    return;
  }
  pl::PayloadTrailer trailer;
  if (pl::ReadPayloadTrailer(&s, &trailer) == pl::kOk) {
    PrintField("plainDigest:", Hex(trailer.plainDigest, pl::kSha1Bytes));
    PrintField("tailBytes:", Hex(trailer.tailBytes, pl::kTailBytes));
  }
}

}  // namespace

int RunInspect(const std::vector<std::string>& args) {
  ParsedArgs a;
  std::string error;
  if (!ParseArgs(args, {}, {}, a, error) || a.operands.size() != 1) {
    Report(error.empty() ? "inspect: needs one ARCHIVE-OR-PAYLOAD" : "inspect: " + error);
    return kExitUsage;
  }
  PayloadFile pf;
  PayloadFile::Result result =
      pf.Open(PathArg(a.operands[0]), PayloadFile::Where::kPayloadOrArchive, error);
  if (result == PayloadFile::Result::kIoFailure || result == PayloadFile::Result::kNotSeekable) {
    Report("inspect: " + error);
    return kExitFailure;
  }
  if (pf.headerResult() >= 0) PrintHeader(pf);  // else refused before the header
  if (result == PayloadFile::Result::kOk) {
    PrintLengthsAndTrailer(pf);
    return kExitOk;
  }
  Report("inspect: malformed payload: " + error);
  return kExitMalformed;
}

}  // namespace orx
