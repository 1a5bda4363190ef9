// orx pack FILE -o OUT [--format 1|2] [--cost N] [--key-bits 128|192|256]
//          [--force] [--no-password-rules] [password option | --generate-password]
//          [--archive --stub S --cleanup C --decryptor D]
//
// Named steps, as in unpack: each returns the exit code, kExitOk letting
// the next one go on. Everything that can be refused is refused before the
// password is asked; the output appears only when complete.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "archive_builder.h"
#include "command_line.h"
#include "commands.h"
#include "display_text.h"
#include "exit_codes.h"
#include "orx/unique_handle.h"
#include "output_guard.h"
#include "password_source.h"
#include "path_arg.h"
#include "payload/payload_header.h"
#include "payload_writer.h"
#include "pending_file.h"
#include "platform.h"
#include "report.h"
#include "utf.h"

namespace orx {

namespace fs = std::filesystem;

namespace {

struct PackOptions {
  fs::path input;
  fs::path out;
  std::uint32_t format = 2;
  int keyBits = 256;
  std::uint32_t iterations = payload::kDefaultIterations;
  bool force = false;
  bool rules = true;
  bool generate = false;
  bool archive = false;
  ArchiveParts parts;
  PasswordSource source;
};

int Usage(const std::string& message) {
  Report("pack: " + message);
  return kExitUsage;
}

// A decimal number, all digits, within [low, high].
bool ParseNumber(const std::string& text, std::uint32_t low, std::uint32_t high,
                 std::uint32_t& value) {
  if (text.empty() || text.size() > 10 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  unsigned long long v = std::stoull(text);
  if (v < low || v > high) return false;
  value = static_cast<std::uint32_t>(v);
  return true;
}

// The format and what goes with it: the key length of format 1, the cost
// of format 2, and a generated password.
int ParseFormat(const ParsedArgs& a, PackOptions& o) {
  if (a.Has("--format")) {
    const std::string format = a.Value("--format");
    if (format != "1" && format != "2") return Usage("--format must be 1 or 2");
    o.format = format == "1" ? 1 : 2;
  }
  if (a.Has("--key-bits")) {
    std::string bits = a.Value("--key-bits");
    if (bits != "128" && bits != "192" && bits != "256") {
      return Usage("--key-bits must be 128, 192 or 256");
    }
    o.keyBits = std::stoi(bits);
    if (o.format == 2 && o.keyBits != 256) {
      return Usage("format 2 is always AES-256; --key-bits 128 and 192 are for --format 1");
    }
  }
  if (a.Has("--cost")) {
    if (o.format != 2) return Usage("--cost is the cost of format 2's key derivation");
    if (!ParseNumber(a.Value("--cost"), payload::kMinIterations, payload::kMaxIterations,
                     o.iterations)) {
      return Usage("--cost must be a number of iterations from " +
                   std::to_string(payload::kMinIterations) + " to " +
                   std::to_string(payload::kMaxIterations));
    }
  }
  o.generate = a.Flag("--generate-password");
  if (o.generate && (a.Has("--password-file") || a.Flag("--password-stdin"))) {
    return Usage("--generate-password makes the password; give no other password option");
  }
  if (o.generate && o.format == 1 && o.rules) {
    return Usage("--generate-password makes a passphrase of " + std::to_string(kGeneratedBits) +
                 " bits, longer than the 12 characters format 1 keeps for the product's "
                 "password rules (at most 74 bits); use format 2 (the default), or "
                 "--no-password-rules to put it in a format-1 payload");
  }
  return kExitOk;
}

int ParseCommandLine(const std::vector<std::string>& args, PackOptions& o) {
  ParsedArgs a;
  std::string error;
  if (!ParseArgs(args,
                 {"-o", "--format", "--cost", "--key-bits", "--password-file", "--stub",
                  "--cleanup", "--decryptor"},
                 {"--password-stdin", "--generate-password", "--archive", "--force",
                  "--no-password-rules"},
                 a, error)) {
    return Usage(error);
  }
  if (a.operands.size() != 1 || !a.Has("-o")) return Usage("needs one FILE and -o OUT");
  o.rules = !a.Flag("--no-password-rules");
  if (int rc = ParseFormat(a, o)) return rc;
  o.archive = a.Flag("--archive");
  bool anyPart = a.Has("--stub") || a.Has("--cleanup") || a.Has("--decryptor");
  if (o.archive != (a.Has("--stub") && a.Has("--cleanup") && a.Has("--decryptor")) ||
      (!o.archive && anyPart)) {
    return Usage("--archive goes with all of --stub, --cleanup and --decryptor");
  }
  if (!ChoosePasswordSource(a.Has("--password-file"), a.Value("--password-file"),
                            a.Flag("--password-stdin"), o.source, error)) {
    return Usage(error);
  }
  o.force = a.Flag("--force");
  o.input = PathArg(a.operands[0]);
  o.out = PathArg(a.Value("-o"));
  o.parts = {PathArg(a.Value("--stub")), PathArg(a.Value("--cleanup")),
             PathArg(a.Value("--decryptor"))};
  return kExitOk;
}

class Packing {
 public:
  explicit Packing(const PackOptions& options) : o_(options) {}

  int WarnOfFormat1();   // why format 1 is weaker, when it is asked for
  int CheckInput();      // a regular file whose name can be stored
  int GuardOutput();     // not an input, not there without --force
  int LoadParts();       // --archive: three programs fit for their slots
  int ObtainPassword();  // read or generated, within the format's rule
  int Write();           // the payload or archive, complete, under its name
  int TellPassword();    // a generated password, once it protects the output

 private:
  int Fail(int exitCode, const std::string& message) {
    Report("pack: " + message + (output_.committed() ? "" : "; nothing written"));
    return exitCode;
  }

  const PackOptions& o_;
  platform::FileFacts inputFacts_;
  std::u16string storedName_;
  std::string head_;  // the archive's programs, padded to their slots
  PasswordText generated_;
  Secret<PasswordBytes> password_;
  PendingFile output_;
};

int Packing::WarnOfFormat1() {
  if (o_.format == 1) {
    Report("pack: format 1 is weaker: its key is one unsalted MD5 of the password (hundreds of "
           "thousands of guesses a second), and it stores the plaintext's SHA-1 in the clear; "
           "write it only for readers that know no other format");
  }
  return kExitOk;
}

int Packing::CheckInput() {
  if (!platform::FactsOfPath(o_.input, inputFacts_)) {
    return Fail(kExitFailure, "cannot open " + o_.input.u8string() + ": " + std::strerror(errno));
  }
  if (!inputFacts_.regular) {
    return Fail(kExitFailure, o_.input.u8string() + " is not a regular file");
  }
  if (!Utf8ToUtf16(o_.input.filename().u8string(), storedName_) ||
      !payload::IsPlainFileName(reinterpret_cast<const uint16_t*>(storedName_.data()),
                                storedName_.size())) {
    return Fail(kExitFailure,
                "the name " + DisplayText(o_.input.filename().u8string()) +
                    " cannot be stored: it is not a plain Windows file name (1-255 characters, "
                    "no \\ / : * ? \" < > |, no control, bidirectional or invisible characters, "
                    "no blank first or last and no more than two in a row, no trailing dot, no "
                    "device name, not desktop.ini or autorun.inf, no .url, .lnk, .scf, "
                    ".library-ms or .searchConnector-ms file)");
  }
  return kExitOk;
}

int Packing::GuardOutput() {
  std::vector<fs::path> inputs{o_.input};
  if (o_.archive) {
    inputs.insert(inputs.end(), {o_.parts.stub, o_.parts.cleanup, o_.parts.decryptor});
  }
  return orx::GuardOutput("pack", o_.out, inputs, o_.force);
}

int Packing::LoadParts() {
  std::string error;
  bool ioFailure = false;
  if (o_.archive && !LoadArchiveParts(o_.parts, head_, error, ioFailure)) {
    return Fail(kExitFailure, error);
  }
  return kExitOk;
}

int Packing::ObtainPassword() {
  PasswordText read;
  std::string error;
  int rc = o_.generate ? (GeneratePassword(generated_, error) ? kExitOk : kExitFailure)
                       : ReadPassword(o_.source, true, read, error);
  const PasswordText& text = o_.generate ? generated_ : read;
  if (rc == kExitOk && (!AcceptNewPassword(text, o_.format, o_.rules, error) ||
                        !PasswordBytesFor(text, o_.format, password_.value, error))) {
    rc = kExitPassword;
  }
  return rc == kExitOk ? kExitOk : Fail(rc, error);
}

int Packing::Write() {
  std::string error;
  CFile in(platform::OpenFile(o_.input, "rb"));
  if (!in) {
    return Fail(kExitFailure, "cannot open " + o_.input.u8string() + ": " + std::strerror(errno));
  }
  if (!output_.Open(o_.out, o_.force, error)) {
    return Fail(output_.targetExists() ? kExitExists : kExitFailure, error);
  }
  PackRequest request{in.get(),   inputFacts_.size, storedName_,    password_.value.bytes,
                      password_.value.length, o_.format,  o_.keyBits / 8, o_.iterations};
  PayloadWriter writer = [&request](std::FILE* file, std::string& e) {
    return WritePayload(request, file, e);
  };
  bool written = o_.archive ? WriteArchive(head_, writer, output_, error)
                            : writer(output_.file(), error);
  if (!written || !output_.Commit(error)) {
    return Fail(output_.targetExists() ? kExitExists : kExitFailure, error);
  }
  return kExitOk;
}

// On standard error, which is for people: standard output stays for data.
int Packing::TellPassword() {
  if (o_.generate) {
    std::string utf8;
    Utf16ToUtf8(std::u16string(generated_.data(), generated_.size()), utf8);
    std::fprintf(stderr, "password: %s\n", utf8.c_str());
    SecureWipe(&utf8[0], utf8.size());
  }
  return kExitOk;
}

}  // namespace

int RunPack(const std::vector<std::string>& args) {
  PackOptions options;
  if (int rc = ParseCommandLine(args, options)) return rc;
  Packing packing(options);
  int rc = packing.WarnOfFormat1();
  if (rc == kExitOk) rc = packing.CheckInput();
  if (rc == kExitOk) rc = packing.GuardOutput();
  if (rc == kExitOk) rc = packing.LoadParts();
  if (rc == kExitOk) rc = packing.ObtainPassword();
  if (rc == kExitOk) rc = packing.Write();
  if (rc == kExitOk) rc = packing.TellPassword();
  return rc;
}

}  // namespace orx
