// orx unpack ARCHIVE-OR-PAYLOAD [-C DIR] [--force] [password option]
#include <cerrno>
#include <cstring>
#include <functional>

#include "command_line.h"
#include "commands.h"
#include "hashed_output.h"
#include "display_text.h"
#include "exit_codes.h"
#include "output_guard.h"
#include "orx/unique_handle.h"
#include "password_source.h"
#include "path_arg.h"
#include "payload/payload_open.h"
#include "payload_file.h"
#include "pending_file.h"
#include "platform.h"
#include "progress_bar.h"
#include "report.h"

namespace orx {

namespace fs = std::filesystem;

namespace {

// From this much cipher text on, SHA-1 runs on a second thread (see
// DigestThread), over chunks big enough that handing one over costs nothing
// against hashing it, and small enough to stay in the cache between
// decrypting, writing and hashing. Below it the thread and the first chunk's
// fresh buffers cost more than the overlap saves (measured: a 8 MiB payload
// opens faster on one thread, a 16 MiB one on two).
constexpr int64_t kPipelineFrom = 16 << 20;
constexpr size_t kPipelineChunk = 1 << 20;

// The output port: the pending file, advancing the progress bar. Keeps the
// OS reason of a failed write, and fails once an interrupt is requested.
struct ProgressOutput {
  std::FILE* file = nullptr;
  ProgressBar* progress = nullptr;
  int error = 0;
  bool interrupted = false;
  static size_t Write(void* c, const void* data, size_t size) {
    auto* self = static_cast<ProgressOutput*>(c);
    if (platform::InterruptRequested()) {
      self->interrupted = true;
      return 0;
    }
    errno = 0;
    size_t n = std::fwrite(data, 1, size, self->file);
    if (n < size) self->error = errno ? errno : EIO;
    self->progress->Advance(n);
    return n;
  }
};

enum class Opened { kDone, kWrongPassword, kDigestMismatch, kFailed };

// The payload core's opening sequence: unlocks the file key (the password
// key, the unwrapped key checked against keyCheck); only for the right
// password asks `openOutput` for the output, then decrypts into it while
// hashing and compares with the stored digest. `code` gets the core's
// result; a failure sets `error` to what failed, without its cause.
Opened DecryptPayloadInto(const payload::PayloadHeader& h, payload::PayloadStream* in,
                          const unsigned char* passwordBytes, size_t passwordLength,
                          const std::function<payload::PayloadStream*(std::string&)>& openOutput,
                          int& code, std::string& error) {
  Secret<payload::FileKey> secret;
  payload::FileKey& key = secret.value;
  code = payload::UnlockPayload(h, passwordBytes, passwordLength, &key);
  switch (code) {
    case payload::kOk:
      break;
    case payload::kWrongPassword:
      error = "wrong password";
      return Opened::kWrongPassword;
    case payload::kNoDigest:
      error = "SHA-1 is unavailable";
      return Opened::kFailed;
    case payload::kDecryptFailed:
      error = "unwrapping the file key failed (code " + std::to_string(code) + ")";
      return Opened::kFailed;
    default:
      error = "password key derivation failed (code " + std::to_string(code) + ")";
      return Opened::kFailed;
  }
  payload::PayloadStream* out = openOutput(error);
  if (!out) return Opened::kFailed;
  DigestThread hasher;
  const payload::DigestPort* digest = nullptr;
  size_t chunkBytes = 0;
  if (h.cipherBytes >= kPipelineFrom && hasher.Start()) {
    digest = hasher.port();
    chunkBytes = kPipelineChunk;
  }
  // The payload is read, not mapped: on the virtual machines where this was
  // measured, setting up the page tables of a mapping cost about five times
  // the copy that reading makes (0.35 s against 0.07 s for 512 MiB).
  code = payload::DecryptAndVerify(h, key, in, out, digest, chunkBytes);
  switch (code) {
    case payload::kOk:
      return Opened::kDone;
    case payload::kDigestMismatch:
      error = "the decrypted file does not match its stored digest (damaged payload)";
      return Opened::kDigestMismatch;
    case payload::kNoStoredDigest:
      error = "cannot read the stored digest";
      return Opened::kFailed;
    default:
      error = "decryption failed (code " + std::to_string(code) + ")";
      return Opened::kFailed;
  }
}

}  // namespace

int RunUnpack(const std::vector<std::string>& args) {
  ParsedArgs a;
  std::string error;
  if (!ParseArgs(args, {"-C", "--password-file"}, {"--force", "--password-stdin"}, a, error)) {
    Report("unpack: " + error);
    return kExitUsage;
  }
  if (a.operands.size() != 1) {
    Report("unpack: needs one ARCHIVE-OR-PAYLOAD");
    return kExitUsage;
  }
  PasswordSource source;
  if (!ChoosePasswordSource(a.Has("--password-file"), a.Value("--password-file"),
                            a.Flag("--password-stdin"), source, error)) {
    Report("unpack: " + error);
    return kExitUsage;
  }
  const bool force = a.Flag("--force");

  const fs::path input = PathArg(a.operands[0]);
  PayloadFile pf;
  switch (pf.Open(input, PayloadFile::Where::kPayloadOrArchive, error)) {
    case PayloadFile::Result::kOk:
      break;
    case PayloadFile::Result::kMalformed:
      Report("unpack: malformed payload: " + error + "; nothing written");
      return kExitMalformed;
    default:
      Report("unpack: " + error + "; nothing written");
      return kExitFailure;
  }
  const payload::PayloadHeader& h = pf.header();
  std::string name;
  if (!pf.NameUtf8(name)) {
    Report("unpack: malformed payload: the stored name \"" + pf.NameForDisplay() +
           "\" is not valid UTF-16; nothing written");
    return kExitMalformed;
  }
  fs::path dir = a.Has("-C") ? PathArg(a.Value("-C")) : fs::path(".");
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    bool exists = !ec && fs::exists(dir, ec);
    Report("unpack: " + dir.u8string() +
           (ec ? ": " + ec.message() : exists ? " is not a directory" : std::string(": ") + std::strerror(ENOENT)));
    return kExitFailure;
  }
  const fs::path target = dir / fs::u8path(name);
  if (int refused = GuardOutput("unpack", target, {input}, force)) return refused;

  Secret<PasswordBytes> password;
  {
    Secret<PasswordText> text;
    int rc = ReadPassword(source, false, text.value, error);
    if (rc == kExitOk && !PasswordBytesFor(text.value, password.value, error)) {
      rc = kExitPassword;
    }
    if (rc != kExitOk) {
      Report("unpack: " + error + "; nothing written");
      return rc;
    }
  }

  PendingFile output;
  ProgressBar progress("decrypting", static_cast<std::uint64_t>(h.cipherBytes));
  ProgressOutput sink;
  sink.progress = &progress;
  payload::PayloadStream out{};
  auto openOutput = [&](std::string& e) -> payload::PayloadStream* {
    if (!output.Open(target, force, e)) return nullptr;
    sink.file = output.file();
    out = payload::PayloadStreamOverFile(output.file());
    out.context = &sink;
    out.write = ProgressOutput::Write;
    return &out;
  };
  int code = payload::kOk;
  Opened opened = DecryptPayloadInto(h, &pf.stream(), password.value.bytes,
                                     password.value.length, openOutput, code, error);
  progress.Finish();
  switch (opened) {
    case Opened::kDone:
      break;
    case Opened::kWrongPassword:
      Report("unpack: " + error + "; nothing written");
      return kExitPassword;
    case Opened::kDigestMismatch:
      Report("unpack: " + error + "; nothing written");
      return kExitDigestMismatch;
    case Opened::kFailed:
      if (sink.interrupted) {
        error += ": interrupted";
      } else if (code == payload::kOutputFailed) {
        error += ": cannot write " + target.u8string() + ": " +
                 std::strerror(sink.error ? sink.error : EIO);
      } else if ((code == payload::kPayloadDecryptFailed || code == payload::kNoStoredDigest) &&
                 pf.readError()) {
        error += ": cannot read " + input.u8string() + ": " + std::strerror(pf.readError());
      }
      Report("unpack: " + error + "; nothing written");
      return output.targetExists() ? kExitExists : kExitFailure;
  }
  if (!output.Commit(error)) {
    Report("unpack: " + error + "; nothing written");
    return output.targetExists() ? kExitExists : kExitFailure;
  }
  std::printf("%s\n", DisplayText(target.u8string()).c_str());
  return kExitOk;
}

}  // namespace orx
