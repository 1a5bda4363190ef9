// orx unpack ARCHIVE-OR-PAYLOAD [-C DIR] [--force] [password option]
#include <cstring>
#include <memory>

#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "path_arg.h"
#include "report.h"
#include "password_input.h"
#include "payload/payload_crypto.h"
#include "payload_file.h"
#include "pending_file.h"
#include "progress_bar.h"

namespace orx {

namespace fs = std::filesystem;

namespace {

struct BufferRelease {
  void operator()(unsigned char* p) const { payload::ReleaseBuffer(p); }
};
using Buffer = std::unique_ptr<unsigned char, BufferRelease>;

// The output port: the pending file, advancing the progress bar.
struct ProgressOutput {
  std::FILE* file;
  ProgressBar* progress;
  static size_t Write(void* c, const void* data, size_t size) {
    auto* self = static_cast<ProgressOutput*>(c);
    size_t n = std::fwrite(data, 1, size, self->file);
    self->progress->Advance(n);
    return n;
  }
};

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
  if (a.Has("--password-file") && a.Flag("--password-stdin")) {
    Report("unpack: give one of --password-file and --password-stdin");
    return kExitUsage;
  }
  const bool force = a.Flag("--force");

  PayloadFile pf;
  int rc = pf.Open(PathArg(a.operands[0]), error);
  if (!pf.file()) {
    Report("unpack: " + error);
    return kExitFailure;
  }
  if (rc != payload::kOk) {
    Report("unpack: malformed payload: " + error + "; nothing written");
    return kExitMalformed;
  }
  const payload::PayloadHeader& h = pf.header();
  std::string name;
  if (!pf.NameUtf8(name)) {
    Report("unpack: malformed payload: the stored name is not valid UTF-16; nothing written");
    return kExitMalformed;
  }
  fs::path dir = a.Has("-C") ? PathArg(a.Value("-C")) : fs::path(".");
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) {
    Report("unpack: " + dir.string() + " is not a directory");
    return kExitFailure;
  }
  fs::path target = dir / fs::u8path(name);
  // symlink_status: a dangling link is something existing too.
  if (fs::exists(fs::symlink_status(target, ec)) && !force) {
    Report("unpack: " + target.string() + " exists already; --force replaces it");
    return kExitExists;
  }

  std::u16string password;
  unsigned char passwordBytes[payload::kPasswordBytesCapacity];
  size_t passwordLength = 0;
  if (!ReadPassword({a.Value("--password-file"), a.Flag("--password-stdin")}, false, password,
                    error) ||
      !PasswordBytesFor(password, passwordBytes, passwordLength, error)) {
    Report("unpack: " + error + "; nothing written");
    return kExitFailure;
  }
  const int keyBytes = static_cast<int>(h.keyBytes);
  int code = 0;
  Buffer passwordKey(payload::DerivePasswordKey(passwordBytes, passwordLength, keyBytes, &code));
  std::memset(passwordBytes, 0, sizeof passwordBytes);
  if (!passwordKey) {
    Report("unpack: password key derivation failed (code " + std::to_string(code) +
           "); nothing written");
    return kExitFailure;
  }
  size_t fileKeyBytes = 0;
  Buffer fileKey(payload::DecryptWithKey(h.wrappedKey, h.keyBytes, passwordKey.get(), keyBytes,
                                         &fileKeyBytes, payload::kModeCfb, payload::kIvText,
                                         &code));
  if (!fileKey) {
    Report("unpack: unwrapping the file key failed (code " + std::to_string(code) +
           "); nothing written");
    return kExitFailure;
  }
  Buffer check(payload::DigestBuffer(fileKey.get(), fileKeyBytes, "sha1"));
  if (!check) {
    Report("unpack: SHA-1 is unavailable; nothing written");
    return kExitFailure;
  }
  if (std::memcmp(check.get(), h.keyCheck, payload::kKeyCheckBytes) != 0) {
    Report("unpack: wrong password; nothing written");
    return kExitPassword;
  }

  PendingFile output;
  if (!output.Open(target, error)) {
    Report("unpack: " + error);
    return kExitFailure;
  }
  ProgressBar progress("decrypting", static_cast<std::uint64_t>(h.cipherBytes));
  ProgressOutput sink{output.file(), &progress};
  payload::PayloadStream out = payload::PayloadStreamOverFile(output.file());
  out.context = &sink;
  out.write = ProgressOutput::Write;
  char* cipherName = payload::MakeCipherName(payload::kModeCfb, keyBytes);
  unsigned char digest[21];
  rc = payload::DecryptPayload(cipherName, fileKey.get(), payload::kIvText, &pf.stream(),
                               static_cast<std::uint64_t>(h.cipherBytes), &out, digest);
  payload::ReleaseCipherName(cipherName);
  progress.Finish();
  if (rc != payload::kOk) {
    Report("unpack: decryption failed (code " + std::to_string(rc) +
           "): the payload could not be read or the output not written; nothing written");
    return kExitFailure;
  }
  unsigned char stored[20];
  if (pf.stream().read(pf.stream().context, stored, 20) != 20) {
    Report("unpack: cannot read the stored digest; nothing written");
    return kExitFailure;
  }
  if (std::memcmp(stored, digest, 20) != 0) {
    Report("unpack: the decrypted file does not match its stored digest (damaged payload); "
           "nothing written");
    return kExitDigestMismatch;
  }
  if (!output.Commit(force, error)) {
    Report("unpack: " + error);
    return fs::exists(fs::symlink_status(target, ec)) && !force ? kExitExists : kExitFailure;
  }
  std::printf("%s\n", target.u8string().c_str());
  return kExitOk;
}

}  // namespace orx
