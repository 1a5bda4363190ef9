// The header fields and the cipher of an archive or payload: the command
// `orx inspect ARCHIVE-OR-PAYLOAD`.
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

std::string Hex(const unsigned char* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s.push_back(digits[p[i] >> 4]);
    s.push_back(digits[p[i] & 15]);
  }
  return s;
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
  if (pf.headerResult() < 0) {  // refused before the header was reached
    Report("inspect: malformed payload: " + error);
    return kExitMalformed;
  }
  const int rc = pf.headerResult();
  const payload::PayloadHeader& h = pf.header();
  std::printf("container:    %s\n", pf.inArchive() ? "archive" : "bare payload");
  std::printf("payload at:   %lld\n", pf.offset());
  std::printf("signature:    0x%08" PRIX32 "\n", h.signature);
  if (rc != payload::kBadSignature && rc != payload::kHeaderTruncated) {
    std::printf("nameBytes:    %" PRIu32 "\n", h.nameBytes);
  }
  if (h.nameUnits) std::printf("fileName:     %s\n", pf.NameForDisplay().c_str());
  if (h.keyBytes) {
    std::printf("keyBytes:     %" PRIu32 "\n", h.keyBytes);
    char* cipher = payload::MakeCipherName(payload::kModeCfb, static_cast<int>(h.keyBytes));
    std::printf("cipher:       %s (IV: first 16 bytes of \"%s\")\n", cipher ? cipher : "?",
                payload::kIvText);
    payload::ReleaseCipherName(cipher);
  }
  if (rc == payload::kOk || rc == payload::kPayloadTooShort || rc == payload::kBadStoredName) {
    std::printf("keyCheck:     %s\n", Hex(h.keyCheck, 20).c_str());
    std::printf("wrappedKey:   %s\n", Hex(h.wrappedKey, h.keyBytes).c_str());
    std::printf("secondBlock:  %s\n", Hex(h.secondBlock, h.keyBytes).c_str());
  }
  if (result == PayloadFile::Result::kOk) {
    std::printf("header bytes: %" PRId64 "\n", static_cast<int64_t>(h.headerEnd - pf.offset()));
    std::printf("cipherText:   %" PRId64 " bytes\n", h.cipherBytes);
    payload::PayloadTrailer trailer;
    auto& s = pf.stream();
    if (s.seek(s.context, h.headerEnd + h.cipherBytes, SEEK_SET) == 0 &&
        payload::ReadPayloadTrailer(&s, &trailer) == payload::kOk) {
      std::printf("plainDigest:  %s\n", Hex(trailer.plainDigest, payload::kSha1Bytes).c_str());
      std::printf("tailBytes:    %s\n", Hex(trailer.tailBytes, payload::kTailBytes).c_str());
    }
    return kExitOk;
  }
  Report("inspect: malformed payload: " + error);
  return kExitMalformed;
}

}  // namespace orx
