// orx inspect ARCHIVE-OR-PAYLOAD [--json]
//
// The header fields, the cipher and the lengths of an archive or payload of
// either format, and the programs an archive carries, as lines for people
// or as one JSON object whose keys stay (help_text.cpp lists them). Printed
// only once all of it was read: a file that cannot be read whole gets its
// reason on standard error and nothing on standard output.
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "archive_builder.h"
#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "orx/archive/layout.h"
#include "path_arg.h"
#include "payload/payload_crypto.h"
#include "payload_file.h"
#include "platform.h"
#include "program_image.h"
#include "report.h"

namespace orx {

namespace {

namespace pl = payload;

struct InspectRequest {
  std::filesystem::path input;
  bool json = false;
};

// A program in a slot of an archive, as its release file would be.
struct SlotProgram {
  const char* slot;  // "stub", "cleanup", "decryptor"
  const char* file;  // its name in a release
  unsigned long offset;
  const char* machine;  // null: not a program
  std::uint64_t bytes;
  std::string sha256;  // hex
};

// What follows the cipher text: format 1's digest and tail, format 2's tag.
struct Inspection {
  std::string check;
  std::string tail;  // format 1 only
  std::vector<SlotProgram> programs;
};

std::string Hex(const unsigned char* p, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s.push_back(digits[p[i] >> 4]);
    s.push_back(digits[p[i] & 15]);
  }
  return s;
}

std::string Hex(const std::string& bytes) {
  return Hex(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

int ParseCommandLine(const std::vector<std::string>& args, InspectRequest& request) {
  ParsedArgs a;
  std::string error;
  if (!ParseArgs(args, {}, {"--json"}, a, error)) return UsageError("inspect", error);
  if (a.operands.size() != 1) return UsageError("inspect", "needs one ARCHIVE-OR-PAYLOAD");
  request.input = PathArg(a.operands[0]);
  request.json = a.Flag("--json");
  return kExitOk;
}

int Open(PayloadFile& pf, const InspectRequest& request) {
  std::string error;
  switch (pf.Open(request.input, PayloadFile::Where::kPayloadOrArchive, error)) {
    case PayloadFile::Result::kOk:
      return kExitOk;
    case PayloadFile::Result::kMalformed:
      Report("inspect: " + error);
      return kExitMalformed;
    case PayloadFile::Result::kNotThisKind:
      Report("inspect: " + error);
      return kExitNotThisKind;
    default:
      Report("inspect: " + error);
      return kExitFailure;
  }
}

// The stored digest or tag behind the cipher text, and an archive's programs.
int ReadTheRest(PayloadFile& pf, Inspection& found) {
  const pl::PayloadHeader& h = pf.header();
  std::string check, programs;
  if (!pf.ReadAt(h.headerEnd + h.cipherBytes, static_cast<size_t>(pl::TrailerBytesOf(h)), check) ||
      (pf.inArchive() && !pf.ReadAt(0, archive::kPayloadOffset, programs))) {
    Report("inspect: cannot read all of the file: " +
           std::string(pf.readError() ? std::strerror(pf.readError()) : "it ended early"));
    return kExitFailure;
  }
  found.check = Hex(check.substr(0, h.format == 2 ? pl::kTagBytes : pl::kSha1Bytes));
  if (h.format == 1) found.tail = Hex(check.substr(pl::kSha1Bytes));
  if (!pf.inArchive()) return kExitOk;
  const SlotProgram slots[] = {
      {"stub", kStubFile, 0, nullptr, archive::kStubSize, ""},
      {"cleanup", kCleanupFile, archive::kCleanupOffset, nullptr, archive::kCleanupSize, ""},
      {"decryptor", kDecryptorFile, archive::kDecryptorOffset, nullptr, archive::kDecryptorSize,
       ""}};
  for (SlotProgram slot : slots) {
    const SlotContent content = DescribeSlot(programs.substr(slot.offset, slot.bytes));
    unsigned char digest[platform::kSha256Bytes];
    if (!platform::Sha256(programs.data() + slot.offset, content.bytes, digest)) {
      Report("inspect: SHA-256 is unavailable");
      return kExitFailure;
    }
    slot.machine = content.machine;
    slot.bytes = content.bytes;
    slot.sha256 = Hex(digest, sizeof digest);
    found.programs.push_back(slot);
  }
  return kExitOk;
}

std::string CipherName(const pl::PayloadHeader& h) {
  char* name = pl::MakeCipherName(pl::kModeCfb, static_cast<int>(h.keyBytes));
  std::string cipher = name ? name : "?";
  pl::ReleaseCipherName(name);
  return cipher;
}

void AddField(std::string& out, const char* name, const std::string& value) {
  char line[32];
  std::snprintf(line, sizeof line, "%-13s ", name);
  out += line + value + "\n";
}

// The fields of each format, in its order.
void AddHeaderText(std::string& out, const PayloadFile& pf) {
  const pl::PayloadHeader& h = pf.header();
  if (h.format == 2) {
    AddField(out, "kdf:", std::to_string(h.kdf) + " (PBKDF2-HMAC-SHA256)");
    AddField(out, "iterations:", std::to_string(h.iterations));
    AddField(out, "salt:", Hex(h.salt, sizeof h.salt));
  }
  AddField(out, "nameBytes:", std::to_string(h.nameBytes));
  AddField(out, "fileName:", pf.NameForDisplay());
  if (h.format == 2) {
    AddField(out, "keyIv:", Hex(h.keyIv, sizeof h.keyIv));
    AddField(out, "wrappedKey:", Hex(h.wrappedKey, pl::kWrappedKey2Bytes));
    AddField(out, "keyCheck:", Hex(h.keyCheck, pl::kKeyCheck2Bytes));
    AddField(out, "contentIv:", Hex(h.contentIv, sizeof h.contentIv));
    AddField(out, "cipher:", "aes-256-cfb (IV: contentIv; key and MAC key from the file key)");
    return;
  }
  AddField(out, "keyBytes:", std::to_string(h.keyBytes));
  AddField(out, "cipher:", CipherName(h) + " (IV: first 16 bytes of \"" + pl::kIvText + "\")");
  AddField(out, "keyCheck:", Hex(h.keyCheck, pl::kKeyCheckBytes));
  AddField(out, "wrappedKey:", Hex(h.wrappedKey, h.keyBytes));
  AddField(out, "secondBlock:", Hex(h.secondBlock, h.keyBytes));
}

std::string AsText(const PayloadFile& pf, const Inspection& found) {
  const pl::PayloadHeader& h = pf.header();
  std::string out;
  char signature[32];
  std::snprintf(signature, sizeof signature, "0x%08" PRIX32 "%s", h.signature,
                h.format == 2 ? " (\"ORXP\")" : "");
  AddField(out, "container:", pf.inArchive() ? "archive" : "bare payload");
  AddField(out, "file bytes:", std::to_string(pf.fileBytes()));
  AddField(out, "payload at:", std::to_string(pf.offset()));
  AddField(out, "signature:", signature);
  AddField(out, "format:", std::to_string(h.format));
  AddHeaderText(out, pf);
  AddField(out, "header bytes:", std::to_string(h.headerEnd - pf.offset()));
  AddField(out, "cipherText:", std::to_string(h.cipherBytes) + " bytes");
  AddField(out, h.format == 2 ? "tag:" : "plainDigest:", found.check);
  if (h.format == 1) AddField(out, "tailBytes:", found.tail);
  for (const SlotProgram& p : found.programs) {
    AddField(out, (std::string(p.slot) + ":").c_str(),
             std::string(p.file) + " slot: " + std::to_string(p.bytes) + " bytes, " +
                 (p.machine ? p.machine : "not a program") + ", sha256 " + p.sha256);
  }
  return out;
}

std::string JsonString(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonPrograms(const Inspection& found) {
  std::string out = "[";
  for (const SlotProgram& p : found.programs) {
    out += std::string(out.size() > 1 ? ", " : "") + "{\"slot\": " + JsonString(p.slot) +
           ", \"file\": " + JsonString(p.file) + ", \"offset\": " + std::to_string(p.offset) +
           ", \"bytes\": " + std::to_string(p.bytes) +
           ", \"machine\": " + (p.machine ? JsonString(p.machine) : "null") +
           ", \"sha256\": " + JsonString(p.sha256) + "}";
  }
  return out + "]";
}

std::string AsJson(const PayloadFile& pf, const Inspection& found) {
  const pl::PayloadHeader& h = pf.header();
  const bool f2 = h.format == 2;
  std::string name;
  pf.NameUtf8(name);
  char signature[16];
  std::snprintf(signature, sizeof signature, "0x%08" PRIX32, h.signature);
  const std::pair<const char*, std::string> fields[] = {
      {"container", JsonString(pf.inArchive() ? "archive" : "payload")},
      {"fileBytes", std::to_string(pf.fileBytes())},
      {"payloadOffset", std::to_string(pf.offset())},
      {"format", std::to_string(h.format)},
      {"signature", JsonString(signature)},
      {"cipher", JsonString(f2 ? "aes-256-cfb" : CipherName(h))},
      {"kdf", f2 ? JsonString("PBKDF2-HMAC-SHA256") : "null"},
      {"cost", f2 ? std::to_string(h.iterations) : "null"},
      {"name", JsonString(name)},
      {"headerBytes", std::to_string(h.headerEnd - pf.offset())},
      {"contentBytes", std::to_string(h.cipherBytes)},
      {"checkBytes", std::to_string(pl::TrailerBytesOf(h))},
      {"check", JsonString(found.check)},
      {"programs", JsonPrograms(found)}};
  std::string out = "{";
  for (const auto& [key, value] : fields) {
    out += std::string(out.size() > 1 ? ",\n  " : "\n  ") + "\"" + key + "\": " + value;
  }
  return out + "\n}\n";
}

}  // namespace

int RunInspect(const std::vector<std::string>& args) {
  InspectRequest request;
  if (int rc = ParseCommandLine(args, request)) return rc;
  PayloadFile pf;
  Inspection found;
  int rc = Open(pf, request);
  if (rc == kExitOk) rc = ReadTheRest(pf, found);
  if (rc == kExitOk) {
    std::fputs((request.json ? AsJson(pf, found) : AsText(pf, found)).c_str(), stdout);
  }
  return rc;
}

}  // namespace orx
