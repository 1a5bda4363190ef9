// The steps unpack and test share, in the order of the opening sequence
// (payload/payload_open.h): the payload found and its header read, the
// password read and the file key unlocked, the content decrypted into a
// target and verified. Each returns the exit code, already reported as
// "<command>: <message><suffix>"; kExitOk lets the caller go on.
#pragma once

#include <filesystem>
#include <string>

#include "orx/secret.h"
#include "password_source.h"
#include "payload/payload_open.h"
#include "payload_file.h"
#include "reread_check.h"

namespace orx {

class PayloadOpening {
 public:
  // `suffix` ends every failure's message ("; nothing written").
  PayloadOpening(const char* command, std::filesystem::path input, const char* suffix)
      : command_(command), input_(std::move(input)), suffix_(suffix) {}

  int Open();  // the payload, its header and its stored name
  int ReadPassword(const PasswordSource& source);
  int Unlock();  // the file key, for the right password only
  // Decrypts all of the content from `source` (the payload's own stream,
  // at the cipher text, unless a caller reads it its own way) into
  // `target` and checks the stored digest or tag: kExitOk only for
  // verified plaintext. `targetName` names the target in messages.
  int DecryptAndVerify(payload::PayloadStream* source, payload::PayloadStream* target,
                       const std::string& targetName);

  // The payload is read a second time through `reread` (see
  // reread_check.h): a change it finds is told as such (exit 4).
  void ReadAgainThrough(const RereadCheck* reread) { reread_ = reread; }

  int Fail(int exitCode, const std::string& message) const;

  PayloadFile& payload() { return payload_; }
  const std::filesystem::path& input() const { return input_; }
  // The stored name, UTF-8, once Open succeeded.
  const std::string& name() const { return name_; }

 private:
  int DecryptionFailure(int code, bool behind, int writeError, bool interrupted,
                        const std::string& targetName) const;

  struct Secrets {
    PasswordBytes password;
    payload::FileKey fileKey;
  };

  const char* command_;
  std::filesystem::path input_;
  const char* suffix_;
  PayloadFile payload_;
  std::string name_;
  Secret<Secrets> secrets_;
  const RereadCheck* reread_ = nullptr;
};

// A target that takes every byte and keeps none: what test decrypts into.
payload::PayloadStream DiscardingStream();

}  // namespace orx
