// orx archive --stub S --cleanup C --decryptor D --payload P -o OUT [--force]
#include <cerrno>
#include <cstring>
#include <vector>

#include "archive_builder.h"
#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "output_guard.h"
#include "path_arg.h"
#include "payload_file.h"
#include "pending_file.h"
#include "report.h"

namespace orx {

namespace fs = std::filesystem;

int RunArchive(const std::vector<std::string>& args) {
  ParsedArgs parsed;
  std::string error;
  if (!ParseArgs(args, {"--stub", "--cleanup", "--decryptor", "--payload", "-o"}, {"--force"},
                 parsed, error)) {
    Report("archive: " + error);
    return kExitUsage;
  }
  for (const char* required : {"--stub", "--cleanup", "--decryptor", "--payload", "-o"}) {
    if (!parsed.Has(required)) {
      Report(std::string("archive: ") + required + " is required");
      return kExitUsage;
    }
  }
  if (!parsed.operands.empty()) {
    Report("archive: unexpected operand " + parsed.operands[0]);
    return kExitUsage;
  }
  const bool force = parsed.Flag("--force");
  ArchiveParts parts{PathArg(parsed.Value("--stub")), PathArg(parsed.Value("--cleanup")),
                     PathArg(parsed.Value("--decryptor"))};
  fs::path payloadPath = PathArg(parsed.Value("--payload"));
  fs::path out = PathArg(parsed.Value("-o"));

  if (int refused = GuardOutput("archive", out, {parts.stub, parts.cleanup, parts.decryptor,
                                                 payloadPath}, force)) {
    return refused;
  }
  std::string head;
  bool ioFailure = false;
  if (!LoadArchiveParts(parts, head, error, ioFailure)) {
    Report("archive: " + error + "; nothing written");
    return kExitFailure;
  }
  // The payload must be one the decryptor can open, which also keeps a
  // plaintext file from being shipped as if it were encrypted.
  PayloadFile payload;
  switch (payload.Open(payloadPath, PayloadFile::Where::kBarePayload, error)) {
    case PayloadFile::Result::kOk:
      break;
    case PayloadFile::Result::kMalformed:
      Report("archive: the payload " + payloadPath.u8string() + " is not a payload: " + error +
             "; nothing written");
      return kExitMalformed;
    default:
      Report("archive: " + error + "; nothing written");
      return kExitFailure;
  }

  PendingFile output;
  auto copyPayload = [&payload, &payloadPath](std::FILE* to, std::string& e) {
    std::FILE* from = payload.file();
    if (std::fseek(from, 0, SEEK_SET) != 0) {
      e = "cannot seek in " + payloadPath.u8string() + ": " + std::strerror(errno);
      return false;
    }
    std::vector<char> buffer(1 << 16);
    size_t got;
    errno = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), from)) > 0) {
      if (std::fwrite(buffer.data(), 1, got, to) != got) {
        e = std::string("cannot write the archive: ") + std::strerror(errno ? errno : EIO);
        return false;
      }
      errno = 0;
    }
    if (std::ferror(from)) {
      e = "cannot read " + payloadPath.u8string() + ": " + std::strerror(errno ? errno : EIO);
      return false;
    }
    return true;
  };
  if (!output.Open(out, force, error) || !WriteArchive(head, copyPayload, output, error) ||
      !output.Commit(error)) {
    Report("archive: " + error + (output.committed() ? "" : "; nothing written"));
    return output.targetExists() ? kExitExists : kExitFailure;
  }
  return kExitOk;
}

}  // namespace orx
