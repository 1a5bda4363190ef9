// orx archive --payload P -o OUT [--parts DIR] [--stub S] [--cleanup C]
//             [--decryptor D] [--force]
//
// Named steps, as in unpack: each returns the exit code, kExitOk letting
// the next one go on. Every input is checked before the output is opened;
// the output appears only when complete.
#include <cerrno>
#include <cstring>
#include <vector>

#include "archive_builder.h"
#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "output_file.h"
#include "output_guard.h"
#include "path_arg.h"
#include "payload_file.h"
#include "platform.h"
#include "report.h"
#include "standard_streams.h"

namespace orx {

namespace fs = std::filesystem;

namespace {

struct ArchiveRequest {
  ArchiveParts parts;
  fs::path payload;
  fs::path out;
  bool force = false;
};

int ParseCommandLine(const std::vector<std::string>& args, ArchiveRequest& r) {
  ParsedArgs a;
  std::string error;
  if (!ParseArgs(args, {"--parts", "--stub", "--cleanup", "--decryptor", "--payload", "-o"},
                 {"--force"}, a, error)) {
    return UsageError("archive", error);
  }
  for (const char* required : {"--payload", "-o"}) {
    if (!a.Has(required)) return UsageError("archive", std::string(required) + " is required");
  }
  if (!a.operands.empty()) return UsageError("archive", "unexpected operand " + a.operands[0]);
  r.parts = ChooseParts(a.Value("--parts"), a.Value("--stub"), a.Value("--cleanup"),
                        a.Value("--decryptor"));
  r.payload = PathArg(a.Value("--payload"));
  r.out = PathArg(a.Value("-o"));
  r.force = a.Flag("--force");
  int fromStandardInput = 0;
  for (const fs::path& input : {r.parts.stub, r.parts.cleanup, r.parts.decryptor, r.payload}) {
    fromStandardInput += IsStandardStream(input);
  }
  if (fromStandardInput > 1) return UsageError("archive", "standard input can be one input only");
  if (IsStandardStream(r.out) && platform::IsTerminal(stdout)) {
    return UsageError("archive", "-o - would write the archive to the terminal; redirect or "
                                 "pipe it");
  }
  return kExitOk;
}

class Archiving {
 public:
  explicit Archiving(const ArchiveRequest& request) : r_(request) {}

  int GuardOutput();  // not an input, not there without --force, a folder to take it
  int LoadParts();    // three programs fit for their slots
  // A payload the decryptor can open, which also keeps a plaintext file
  // from being shipped as if it were encrypted.
  int OpenPayload();
  int Write();  // the archive, complete, under its name

 private:
  int Fail(int exitCode, const std::string& message) {
    Report("archive: " + message + (output_.committed() ? "" : "; nothing written"));
    return exitCode;
  }
  bool CopyPayload(std::FILE* to, std::string& error);

  const ArchiveRequest& r_;
  std::string head_;
  PayloadFile payload_;
  OutputFile output_;
};

int Archiving::GuardOutput() {
  const ArchiveParts& p = r_.parts;
  if (int rc = orx::GuardOutput("archive", r_.out, {p.stub, p.cleanup, p.decryptor, r_.payload},
                                r_.force)) {
    return rc;
  }
  return CheckOutputFolder("archive", r_.out);
}

int Archiving::LoadParts() {
  std::string error;
  bool ioFailure = false;
  return LoadArchiveParts(r_.parts, head_, error, ioFailure) ? kExitOk
                                                             : Fail(kExitFailure, error);
}

int Archiving::OpenPayload() {
  std::string error;
  switch (payload_.Open(r_.payload, PayloadFile::Where::kBarePayload, error)) {
    case PayloadFile::Result::kOk:
      return kExitOk;
    case PayloadFile::Result::kMalformed:
      return Fail(kExitMalformed, "the payload is not one the decryptor can open: " + error);
    case PayloadFile::Result::kNotThisKind:
      return Fail(kExitNotThisKind, "the payload is not a payload: " + error);
    default:
      return Fail(kExitFailure, error);
  }
}

bool Archiving::CopyPayload(std::FILE* to, std::string& error) {
  std::FILE* from = payload_.file();
  if (std::fseek(from, 0, SEEK_SET) != 0) {
    error = "cannot seek in " + InputName(r_.payload) + ": " + std::strerror(errno);
    return false;
  }
  std::vector<char> buffer(1 << 16);
  size_t got;
  errno = 0;
  while ((got = std::fread(buffer.data(), 1, buffer.size(), from)) > 0) {
    if (std::fwrite(buffer.data(), 1, got, to) != got) {
      error = "cannot write " + OutputName(r_.out) + ": " + std::strerror(errno ? errno : EIO);
      return false;
    }
    errno = 0;
  }
  if (std::ferror(from)) {
    error = "cannot read " + InputName(r_.payload) + ": " + std::strerror(errno ? errno : EIO);
    return false;
  }
  return true;
}

int Archiving::Write() {
  std::string error;
  PayloadWriter copy = [this](std::FILE* to, std::string& e) { return CopyPayload(to, e); };
  // An archive is made to be sent: others may read it as the umask allows.
  if (!output_.Open(r_.out, r_.force, true, error) ||
      !WriteArchive(head_, copy, output_.file(), error) || !output_.Commit(error)) {
    return Fail(output_.targetExists() ? kExitExists : kExitFailure, error);
  }
  return kExitOk;
}

}  // namespace

int RunArchive(const std::vector<std::string>& args) {
  ArchiveRequest request;
  if (int rc = ParseCommandLine(args, request)) return rc;
  Archiving archiving(request);
  int rc = archiving.GuardOutput();
  if (rc == kExitOk) rc = archiving.LoadParts();
  if (rc == kExitOk) rc = archiving.OpenPayload();
  if (rc == kExitOk) rc = archiving.Write();
  return rc;
}

}  // namespace orx
