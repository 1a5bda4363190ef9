// orx test ARCHIVE-OR-PAYLOAD [password option]
//
// unpack without an output: the same steps up to the verification, the
// plaintext decrypted into nothing. Says "verified" on standard output only
// when all of it passed.
#include <cstdio>

#include "command_line.h"
#include "commands.h"
#include "display_text.h"
#include "exit_codes.h"
#include "password_source.h"
#include "path_arg.h"
#include "payload_opening.h"

namespace orx {

namespace {

struct TestRequest {
  std::filesystem::path input;
  PasswordSource source;
};

int ParseCommandLine(const std::vector<std::string>& args, TestRequest& request) {
  ParsedArgs a;
  std::string error;
  if (!ParseArgs(args, {"--password-file"}, {"--password-stdin"}, a, error)) {
    return UsageError("test", error);
  }
  if (a.operands.size() != 1) return UsageError("test", "needs one ARCHIVE-OR-PAYLOAD");
  if (!PasswordSourceFrom(a, request.source, error)) {
    return UsageError("test", error);
  }
  request.input = PathArg(a.operands[0]);
  if (!StandardInputOnce(request.source, request.input, "the payload", error)) {
    return UsageError("test", error);
  }
  return kExitOk;
}

int Verify(PayloadOpening& opening) {
  payload::PayloadStream discard = DiscardingStream();
  return opening.DecryptAndVerify(&opening.payload().stream(), &discard, "nothing");
}

int Tell(PayloadOpening& opening) {
  const payload::PayloadHeader& h = opening.payload().header();
  std::printf("verified: \"%s\", %lld bytes, format %u\n",
              opening.payload().NameForDisplay().c_str(),
              static_cast<long long>(h.cipherBytes), static_cast<unsigned>(h.format));
  return kExitOk;
}

}  // namespace

int RunTest(const std::vector<std::string>& args) {
  TestRequest request;
  if (int rc = ParseCommandLine(args, request)) return rc;
  PayloadOpening opening("test", request.input, "");
  int rc = opening.Open();
  if (rc == kExitOk) rc = opening.ReadPassword(request.source);
  if (rc == kExitOk) rc = opening.Unlock();
  if (rc == kExitOk) rc = Verify(opening);
  if (rc == kExitOk) rc = Tell(opening);
  return rc;
}

}  // namespace orx
