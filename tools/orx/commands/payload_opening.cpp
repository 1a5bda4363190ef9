#include "payload_opening.h"

#include <cerrno>
#include <cstring>

#include "display_text.h"
#include "exit_codes.h"
#include "hashed_output.h"
#include "progress_bar.h"
#include "report.h"
#include "standard_streams.h"

namespace orx {

namespace {

// The blocks the payload is read in: few system calls, and still in the
// cache when the cipher gets to them. Read ahead and lent in place, not
// mapped: on the virtual machines where this was measured, setting up the
// page tables of a mapping cost about five times the copy that reading
// makes (0.35 s against 0.07 s for 512 MiB).
constexpr size_t kReadAheadBytes = 1 << 20;

size_t Discard(void*, const void*, size_t size) { return size; }

}  // namespace

payload::PayloadStream DiscardingStream() {
  payload::PayloadStream stream{};
  stream.write = Discard;
  return stream;
}

int PayloadOpening::Fail(int exitCode, const std::string& message) const {
  Report(std::string(command_) + ": " + message + suffix_);
  return exitCode;
}

int PayloadOpening::Open() {
  std::string error;
  switch (payload_.Open(input_, PayloadFile::Where::kPayloadOrArchive, error)) {
    case PayloadFile::Result::kOk:
      break;
    case PayloadFile::Result::kMalformed:
      return Fail(kExitMalformed, error);
    case PayloadFile::Result::kNotThisKind:
      return Fail(kExitNotThisKind, error);
    default:
      return Fail(kExitFailure, error);
  }
  if (!payload_.NameUtf8(name_)) {
    return Fail(kExitMalformed, "malformed payload: the stored name \"" +
                                    payload_.NameForDisplay() + "\" is not valid UTF-16");
  }
  payload_.ReadAhead(kReadAheadBytes);
  return kExitOk;
}

int PayloadOpening::ReadPassword(const PasswordSource& source) {
  PasswordText text;
  std::string error;
  const std::uint32_t format = payload_.header().format;
  PasswordCheck asBytes = [this, format](const PasswordText& t, std::string& e) {
    return PasswordBytesFor(t, format, secrets_.value.password, e) ? kExitOk : kExitPassword;
  };
  int rc = orx::ReadPassword(source, false, asBytes, text, error);
  return rc == kExitOk ? kExitOk : Fail(rc, error);
}

int PayloadOpening::Unlock() {
  const PasswordBytes& password = secrets_.value.password;
  int code = payload::UnlockPayload(payload_.header(), password.bytes, password.length,
                                    &secrets_.value.fileKey);
  switch (code) {
    case payload::kOk:
      return kExitOk;
    case payload::kWrongPassword:
      return Fail(kExitPassword, "wrong password");
    case payload::kNoDigest:
      return Fail(kExitFailure, "SHA-1 is unavailable");
    case payload::kDecryptFailed:
      return Fail(kExitFailure,
                  "unwrapping the file key failed (code " + std::to_string(code) + ")");
    case payload::kKeyDerivationFailed:
      return Fail(kExitFailure, "PBKDF2 or HMAC-SHA256 is unavailable");
    default:
      return Fail(kExitFailure,
                  "password key derivation failed (code " + std::to_string(code) + ")");
  }
}

int PayloadOpening::DecryptAndVerify(payload::PayloadStream* source,
                                     payload::PayloadStream* target,
                                     const std::string& targetName) {
  const payload::PayloadHeader& h = payload_.header();
  const payload::FileKey& key = secrets_.value.fileKey;
  ProgressBar progress("decrypting", static_cast<std::uint64_t>(h.cipherBytes));
  HashedOutput out(target, progress);
  int code = payload::kOk;
  bool behind = false;  // whether the step that failed is the check behind the cipher text
  if (h.format == 2) {
    // The tag is computed by the decryption, over the cipher text it reads.
    out.StartUnhashed();
    code = payload::DecryptAndVerify(h, key, source, out.stream());
    behind = code == payload::kNoStoredDigest;
  } else {
    unsigned char digest[payload::kSha1Bytes];
    code = out.Start(static_cast<std::uint64_t>(h.cipherBytes))
               ? payload::DecryptUnverified(h, key, source, out.stream())
               : payload::kNoDigest;
    if (code == payload::kOk && !out.Finish(digest)) code = payload::kOutputFailed;
    if (out.digestFailed()) code = payload::kPayloadDecryptFailed;
    // Past the cipher text, the stored digest is the step that can fail.
    behind = code == payload::kOk;
    if (behind) code = payload::CheckStoredDigest(source, digest);
  }
  progress.Finish();
  if (code == payload::kOk) return kExitOk;
  return DecryptionFailure(code, behind, out.writeError(), out.interrupted(), targetName);
}

int PayloadOpening::DecryptionFailure(int code, bool behind, int writeError, bool interrupted,
                                      const std::string& targetName) const {
  const char* damage = "damaged, altered, or cut short inside it (neither format records its "
                       "length, so these cannot be told apart)";
  if (code == payload::kDigestMismatch) {
    return Fail(kExitDigestMismatch,
                std::string("the decrypted file does not match its stored digest: ") + damage);
  }
  if (code == payload::kTagMismatch) {
    return Fail(kExitDigestMismatch,
                std::string("the payload fails its authentication tag: ") + damage);
  }
  if (reread_ && reread_->changed()) {
    return Fail(kExitDigestMismatch,
                InputName(input_) + " changed between its verification and its decryption; "
                "what was written came from verified bytes, but is not all of it");
  }
  const bool format2 = payload_.header().format == 2;
  std::string error = !behind  ? "decryption failed (code " + std::to_string(code) + ")"
                      : format2 ? "cannot read the tag"
                                : "cannot read the stored digest";
  if (interrupted) {
    error += ": interrupted";
  } else if (code == payload::kOutputFailed) {
    error += ": cannot write " + targetName + ": " + std::strerror(writeError ? writeError : EIO);
  } else if (code == payload::kReadFailed) {
    error += ": cannot read " + InputName(input_) + ": " +
             std::strerror(payload_.readError() ? payload_.readError() : EIO);
  }
  return Fail(kExitFailure, error);
}

}  // namespace orx
