// orx unpack ARCHIVE-OR-PAYLOAD [-C DIR | -o FILE] [--force] [--allow-dot-name]
//            [password option]
//
// Named steps, as in the decryptor's flow. Each returns the exit code: kExitOk
// lets the next one go on, anything else ends the command, already reported.
// Everything that can be refused is refused before the password is asked;
// the output is opened only for the right password, and takes its name only
// once verified. A failure leaves nothing behind. Standard output (-o -)
// gets no byte before all of the payload is verified: it is read twice.
#include <cstdio>
#include <memory>

#include "command_line.h"
#include "commands.h"
#include "display_text.h"
#include "exit_codes.h"
#include "output_file.h"
#include "output_guard.h"
#include "password_source.h"
#include "path_arg.h"
#include "payload_opening.h"
#include "platform.h"
#include "report.h"
#include "reread_check.h"
#include "standard_streams.h"

namespace orx {

namespace fs = std::filesystem;

namespace {

struct UnpackRequest {
  fs::path input;
  fs::path dir;  // -C, or "."
  fs::path out;  // -o, or empty: the stored name in dir
  bool force = false;
  bool allowDotName = false;
  PasswordSource source;
};

int ParseCommandLine(const std::vector<std::string>& args, UnpackRequest& request) {
  ParsedArgs a;
  std::string error;
  if (!ParseArgs(args, {"-C", "-o", "--password-file"},
                 {"--force", "--allow-dot-name", "--password-stdin"}, a, error)) {
    return UsageError("unpack", error);
  }
  if (a.operands.size() != 1) return UsageError("unpack", "needs one ARCHIVE-OR-PAYLOAD");
  if (a.Has("-C") && a.Has("-o")) return UsageError("unpack", "give -C DIR or -o FILE, not both");
  if (a.Has("-o") && a.Value("-o").empty()) return UsageError("unpack", "-o needs a file name");
  if (!PasswordSourceFrom(a, request.source, error)) {
    return UsageError("unpack", error);
  }
  request.input = PathArg(a.operands[0]);
  if (!StandardInputOnce(request.source, request.input, "the payload", error)) {
    return UsageError("unpack", error);
  }
  request.force = a.Flag("--force");
  request.allowDotName = a.Flag("--allow-dot-name");
  request.dir = a.Has("-C") ? PathArg(a.Value("-C")) : fs::path(".");
  request.out = a.Has("-o") ? PathArg(a.Value("-o")) : fs::path();
  return kExitOk;
}

class Unpacking {
 public:
  // Standard output may have had a verified beginning when a write fails.
  explicit Unpacking(const UnpackRequest& request)
      : r_(request),
        opening_("unpack", request.input,
                 IsStandardStream(request.out) ? "" : "; nothing written") {}

  int OpenPayload() { return opening_.Open(); }
  int ChooseTarget();    // -o FILE, or the stored name in DIR as this system takes it
  int GuardOutput();     // the target: not an input, not there without --force, its folder
  int ReadPassword() { return opening_.ReadPassword(r_.source); }
  int Unlock() { return opening_.Unlock(); }
  int VerifyFirst();       // standard output: all of it verified before a byte is written
  int OpenOutput();        // the pending file beside the target, or standard output
  int DecryptAndVerify();  // into the output, against the stored digest or tag
  int Commit();            // the verified file takes its name

 private:
  bool toStandardOutput() const { return IsStandardStream(target_); }
  // A failure once the output is open, whose reason may be a target that
  // appeared since the guard.
  int FailOutput(const std::string& message) {
    return opening_.Fail(output_.targetExists() ? kExitExists : kExitFailure, message);
  }

  const UnpackRequest& r_;
  PayloadOpening opening_;
  fs::path target_;
  OutputFile output_;
  std::unique_ptr<RereadCheck> reread_;
};

// The payload core's rule holds the name fit for Windows; two things more
// matter where orx writes it. A leading dot hides the file from a listing,
// and in a home folder a name such as .bash_aliases or .profile is read by
// the next shell as its own settings, so such a name is written only when
// asked for; so is, outside Windows, a leading dash, which a command run on
// the folder's files ("rm *", "tar cf x *") takes as its option. And a name
// longer than the folder takes would fail only at the commit, after the
// whole decryption: it is refused before the password.
int Unpacking::ChooseTarget() {
  if (!r_.out.empty()) {
    target_ = r_.out;
    return kExitOk;
  }
  const std::string& name = opening_.name();
  const std::string shown = "\"" + opening_.payload().NameForDisplay() + "\"";
  if (name[0] == '.' && !r_.allowDotName) {
    return opening_.Fail(kExitFailure, "the stored name " + shown +
                                           " starts with a dot (a hidden file, which programs "
                                           "may read as their settings); --allow-dot-name "
                                           "writes it, -o FILE writes another name");
  }
#ifndef _WIN32
  if (name[0] == '-' && !r_.allowDotName) {
    return opening_.Fail(kExitFailure, "the stored name " + shown +
                                           " starts with a dash (an option to a command given "
                                           "the folder's files); --allow-dot-name writes it, "
                                           "-o FILE writes another name");
  }
#endif
  const std::size_t length = fs::u8path(name).native().size();
  const std::size_t limit = platform::NameLimit(r_.dir);
  if (length > limit) {
    return opening_.Fail(kExitFailure, "the stored name " + shown + " is " +
                                           std::to_string(length) + " bytes long, more than the " +
                                           std::to_string(limit) + " a file name can have in " +
                                           r_.dir.u8string() + "; -o FILE writes another name");
  }
  target_ = r_.dir / fs::u8path(name);
  return kExitOk;
}

int Unpacking::GuardOutput() {
  std::vector<fs::path> inputs{r_.input};
  if (r_.source.hasFile) inputs.push_back(fs::u8path(r_.source.file));
  if (int rc = orx::GuardOutput("unpack", target_, inputs, r_.force)) return rc;
  return CheckOutputFolder("unpack", target_);
}

// Standard output takes what it is given at once: the first reading
// verifies, keeping a fingerprint of each chunk, and the second gives out
// only chunks with the fingerprints verified.
int Unpacking::VerifyFirst() {
  if (!toStandardOutput()) return kExitOk;
  reread_ = std::make_unique<RereadCheck>(&opening_.payload().stream());
  if (!reread_->Start()) return opening_.Fail(kExitFailure, "the random generator failed");
  payload::PayloadStream discard = DiscardingStream();
  if (int rc = opening_.DecryptAndVerify(reread_->FirstPass(), &discard, "nothing")) return rc;
  payload::PayloadStream& s = opening_.payload().stream();
  if (!reread_->StartSecondPass() ||
      s.seek(s.context, opening_.payload().header().headerEnd, SEEK_SET) != 0) {
    return opening_.Fail(kExitFailure, "cannot read " + InputName(r_.input) + " again");
  }
  opening_.ReadAgainThrough(reread_.get());
  return kExitOk;
}

int Unpacking::OpenOutput() {
  std::string error;
  // Plaintext: the user's alone.
  return output_.Open(target_, r_.force, false, error) ? kExitOk : FailOutput(error);
}

int Unpacking::DecryptAndVerify() {
  payload::PayloadStream source = reread_ ? *reread_->SecondPass() : opening_.payload().stream();
  payload::PayloadStream target = payload::PayloadStreamOverFile(output_.file());
  return opening_.DecryptAndVerify(&source, &target, OutputName(target_));
}

int Unpacking::Commit() {
  std::string error;
  if (!output_.Commit(error)) {
    if (!output_.committed()) return FailOutput(error);
    Report("unpack: " + error);
    return kExitFailure;
  }
  if (toStandardOutput()) return kExitOk;
  // Kept, but not to be opened unwarned: a failure is the caller's to see.
  if (!platform::CopyZoneInformation(r_.input, target_)) {
    Report("unpack: " + DisplayText(target_.u8string()) +
           " is in place, but cannot carry the zone information of " +
           DisplayText(InputName(r_.input)) + " (the mark of a download)");
    return kExitFailure;
  }
  std::printf("%s\n", DisplayText(target_.u8string()).c_str());
  return kExitOk;
}

}  // namespace

int RunUnpack(const std::vector<std::string>& args) {
  UnpackRequest request;
  if (int rc = ParseCommandLine(args, request)) return rc;
  Unpacking unpacking(request);
  int rc = unpacking.OpenPayload();
  if (rc == kExitOk) rc = unpacking.ChooseTarget();
  if (rc == kExitOk) rc = unpacking.GuardOutput();
  if (rc == kExitOk) rc = unpacking.ReadPassword();
  if (rc == kExitOk) rc = unpacking.Unlock();
  if (rc == kExitOk) rc = unpacking.VerifyFirst();
  if (rc == kExitOk) rc = unpacking.OpenOutput();
  if (rc == kExitOk) rc = unpacking.DecryptAndVerify();
  if (rc == kExitOk) rc = unpacking.Commit();
  return rc;
}

}  // namespace orx
