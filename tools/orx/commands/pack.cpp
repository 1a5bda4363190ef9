// orx pack FILE -o OUT [--format 1|2] [--cost N] [--key-bits 128|192|256]
//          [--name NAME] [--force] [--no-password-rules]
//          [password option | --generate-password]
//          [--archive [--parts DIR] [--stub S] [--cleanup C] [--decryptor D]]
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
#include "header_fault.h"
#include "orx/unique_handle.h"
#include "output_file.h"
#include "output_guard.h"
#include "password_source.h"
#include "path_arg.h"
#include "payload/payload_header.h"
#include "payload_writer.h"
#include "platform.h"
#include "report.h"
#include "standard_streams.h"
#include "utf.h"

namespace orx {

namespace fs = std::filesystem;

namespace {

struct PackRequest {
  fs::path input;
  fs::path out;
  std::string name;  // --name, or empty: the input's own
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

int Usage(const std::string& message) { return UsageError("pack", message); }

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

// The format and what goes with it: the key length of format 1 and the
// cost of format 2.
int ParseFormat(const ParsedArgs& a, PackRequest& r) {
  if (a.Has("--format")) {
    const std::string format = a.Value("--format");
    if (format != "1" && format != "2") return Usage("--format must be 1 or 2");
    r.format = format == "1" ? 1 : 2;
  }
  if (a.Has("--key-bits")) {
    std::string bits = a.Value("--key-bits");
    if (bits != "128" && bits != "192" && bits != "256") {
      return Usage("--key-bits must be 128, 192 or 256");
    }
    r.keyBits = std::stoi(bits);
    if (r.format == 2 && r.keyBits != 256) {
      return Usage("format 2 is always AES-256; --key-bits 128 and 192 are for --format 1");
    }
  }
  if (!a.Has("--cost")) return kExitOk;
  if (r.format != 2) return Usage("--cost is the cost of format 2's key derivation");
  if (!ParseNumber(a.Value("--cost"), payload::kMinIterations, payload::kMaxIterations,
                   r.iterations)) {
    return Usage("--cost must be a number of iterations from " +
                 std::to_string(payload::kMinIterations) + " to " +
                 std::to_string(payload::kMaxIterations));
  }
  return kExitOk;
}

// Where the password comes from: read, or made.
int ParsePassword(const ParsedArgs& a, PackRequest& r) {
  std::string error;
  r.generate = a.Flag("--generate-password");
  if (r.generate && (a.Has("--password-file") || a.Flag("--password-stdin"))) {
    return Usage("--generate-password makes the password; give no other password option");
  }
  if (r.generate && r.format == 1 && r.rules) {
    return Usage("--generate-password makes a passphrase of " + std::to_string(kGeneratedBits) +
                 " bits, longer than the 12 characters format 1 keeps for the product's "
                 "password rules (at most 74 bits); use format 2 (the default), or "
                 "--no-password-rules to put it in a format-1 payload");
  }
  if (!PasswordSourceFrom(a, r.source, error)) {
    return Usage(error);
  }
  if (!StandardInputOnce(r.source, r.input, "FILE", error)) return Usage(error);
  return kExitOk;
}

// The output, and the programs of an archive.
int ParseOutput(const ParsedArgs& a, PackRequest& r) {
  r.archive = a.Flag("--archive");
  const bool anyPart =
      a.Has("--parts") || a.Has("--stub") || a.Has("--cleanup") || a.Has("--decryptor");
  if (anyPart && !r.archive) {
    return Usage("--parts, --stub, --cleanup and --decryptor name the programs of an archive: "
                 "add --archive");
  }
  r.parts = ChooseParts(a.Value("--parts"), a.Value("--stub"), a.Value("--cleanup"),
                        a.Value("--decryptor"));
  std::string extension = r.out.extension().u8string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension == ".exe" && !r.archive && !r.force) {
    return Usage("-o " + r.out.u8string() + " names a Windows program, but without --archive "
                 "pack writes a payload, which Windows cannot start; --archive writes a "
                 "self-decrypting archive, --force a payload under that name");
  }
  if (IsStandardStream(r.out) && platform::IsTerminal(stdout)) {
    return Usage("-o - would write encrypted bytes to the terminal; redirect or pipe it");
  }
  if (IsStandardStream(r.input) && !a.Has("--name") && IsStandardStream(r.out)) {
    return Usage("standard input has no name to store; --name NAME gives one");
  }
  return kExitOk;
}

int ParseCommandLine(const std::vector<std::string>& args, PackRequest& r) {
  ParsedArgs a;
  std::string error;
  if (!ParseArgs(args,
                 {"-o", "--format", "--cost", "--key-bits", "--password-file", "--parts",
                  "--stub", "--cleanup", "--decryptor", "--name"},
                 {"--password-stdin", "--generate-password", "--archive", "--force",
                  "--no-password-rules"},
                 a, error)) {
    return Usage(error);
  }
  if (a.operands.size() != 1 || !a.Has("-o")) return Usage("needs one FILE and -o OUT");
  if (a.Has("--name") && a.Value("--name").empty()) return Usage("--name needs a name");
  r.input = PathArg(a.operands[0]);
  r.out = PathArg(a.Value("-o"));
  r.name = a.Value("--name");
  r.force = a.Flag("--force");
  r.rules = !a.Flag("--no-password-rules");
  if (int rc = ParseFormat(a, r)) return rc;
  if (int rc = ParsePassword(a, r)) return rc;
  return ParseOutput(a, r);
}

class Packing {
 public:
  explicit Packing(const PackRequest& request) : r_(request) {}

  int WarnOfFormat1();   // why format 1 is weaker, when it is asked for
  int CheckInput();      // a regular file, or standard input
  int ChooseName();      // the name to store, within the stored-name rule
  int GuardOutput();     // not an input, not there without --force, a folder to take it
  int LoadParts();       // --archive: three programs fit for their slots
  int ObtainPassword();  // read or generated, within the format's rule
  int Write();           // the payload or archive, complete, under its name
  int TellPassword();    // a generated password, once it protects the output

 private:
  int Fail(int exitCode, const std::string& message) {
    const char* outcome = output_.committed()                              ? ""
                          : writing_ && output_.toStandardOutput() ? "; standard output got "
                                                                     "an incomplete output"
                                                                   : "; nothing written";
    Report("pack: " + message + outcome);
    return exitCode;
  }
  int WriteOutput(std::FILE* in);

  const PackRequest& r_;
  platform::FileFacts inputFacts_;
  std::u16string storedName_;
  std::string head_;  // the archive's programs, padded to their slots
  PasswordText generated_;
  Secret<PasswordBytes> password_;
  OutputFile output_;
  bool writing_ = false;
};

int Packing::WarnOfFormat1() {
  if (r_.format == 1) {
    Report("pack: format 1 is weaker: its key is one unsalted MD5 of the password (hundreds of "
           "thousands of guesses a second), and it stores the plaintext's SHA-1 in the clear; "
           "write it only for readers that know no other format");
  }
  return kExitOk;
}

int Packing::CheckInput() {
  if (IsStandardStream(r_.input)) return kExitOk;
  if (!platform::FactsOfPath(r_.input, inputFacts_)) {
    return Fail(kExitFailure, "cannot open " + r_.input.u8string() + ": " + std::strerror(errno));
  }
  if (!inputFacts_.regular) {
    return Fail(kExitFailure, r_.input.u8string() + " is not a regular file; - reads "
                              "standard input (with --name NAME to store)");
  }
  return kExitOk;
}

int Packing::ChooseName() {
  const bool given = !r_.name.empty();
  const fs::path from = IsStandardStream(r_.input) ? r_.out.stem() : r_.input.filename();
  const std::string name = given ? r_.name : from.u8string();
  const std::string hint = given ? "" : "; --name NAME stores another name";
  if (!Utf8ToUtf16(name, storedName_)) {
    return Fail(kExitFailure, "the name \"" + DisplayText(name) +
                                  "\" cannot be stored: it is not valid UTF-8" + hint);
  }
  const auto* units = reinterpret_cast<const uint16_t*>(storedName_.data());
  if (!payload::IsPlainFileName(units, storedName_.size())) {
    return Fail(kExitFailure,
                DescribeNameFault(storedName_.data(), storedName_.size()) +
                    ", so it cannot be stored as a Windows file name" + hint);
  }
  return kExitOk;
}

int Packing::GuardOutput() {
  std::vector<fs::path> inputs{r_.input};
  if (r_.archive) {
    inputs.insert(inputs.end(), {r_.parts.stub, r_.parts.cleanup, r_.parts.decryptor});
  }
  if (r_.source.hasFile) inputs.push_back(fs::u8path(r_.source.file));
  if (int rc = orx::GuardOutput("pack", r_.out, inputs, r_.force)) return rc;
  return CheckOutputFolder("pack", r_.out);
}

int Packing::LoadParts() {
  std::string error;
  bool ioFailure = false;
  if (r_.archive && !LoadArchiveParts(r_.parts, head_, error, ioFailure)) {
    return Fail(kExitFailure, error);
  }
  return kExitOk;
}

int Packing::ObtainPassword() {
  PasswordText read;
  std::string error;
  PasswordCheck rule = [this](const PasswordText& text, std::string& e) {
    return AcceptNewPassword(text, r_.format, r_.rules, e) &&
                   PasswordBytesFor(text, r_.format, password_.value, e)
               ? kExitOk
               : kExitPassword;
  };
  int rc = r_.generate ? (GeneratePassword(generated_, error) ? rule(generated_, error)
                                                              : kExitFailure)
                       : ReadPassword(r_.source, true, rule, read, error);
  return rc == kExitOk ? kExitOk : Fail(rc, error);
}

int Packing::Write() {
  if (IsStandardStream(r_.input)) return WriteOutput(stdin);
  CFile in(platform::OpenFile(r_.input, "rb"));
  if (!in) {
    return Fail(kExitFailure, "cannot open " + r_.input.u8string() + ": " + std::strerror(errno));
  }
  return WriteOutput(in.get());
}

int Packing::WriteOutput(std::FILE* in) {
  std::string error;
  // An archive or payload is made to be sent: others may read it as the umask allows.
  if (!output_.Open(r_.out, r_.force, true, error)) {
    return Fail(output_.targetExists() ? kExitExists : kExitFailure, error);
  }
  writing_ = true;
  PayloadJob job{in,        inputFacts_.size, storedName_,    password_.value.bytes,
                 password_.value.length, r_.format,  r_.keyBits / 8, r_.iterations};
  PayloadWriter writer = [&job](std::FILE* file, std::string& e) {
    return WritePayload(job, file, e);
  };
  bool written = r_.archive ? WriteArchive(head_, writer, output_.file(), error)
                            : writer(output_.file(), error);
  if (!written || !output_.Commit(error)) {
    return Fail(output_.targetExists() ? kExitExists : kExitFailure, error);
  }
  return kExitOk;
}

// On standard error, which is for people: standard output stays for data.
int Packing::TellPassword() {
  if (r_.generate) {
    std::string utf8;
    Utf16ToUtf8(std::u16string(generated_.data(), generated_.size()), utf8);
    std::fprintf(stderr, "password: %s\n", utf8.c_str());
    SecureWipe(&utf8[0], utf8.size());
  }
  return kExitOk;
}

}  // namespace

int RunPack(const std::vector<std::string>& args) {
  PackRequest request;
  if (int rc = ParseCommandLine(args, request)) return rc;
  Packing packing(request);
  int rc = packing.WarnOfFormat1();
  if (rc == kExitOk) rc = packing.CheckInput();
  if (rc == kExitOk) rc = packing.ChooseName();
  if (rc == kExitOk) rc = packing.GuardOutput();
  if (rc == kExitOk) rc = packing.LoadParts();
  if (rc == kExitOk) rc = packing.ObtainPassword();
  if (rc == kExitOk) rc = packing.Write();
  if (rc == kExitOk) rc = packing.TellPassword();
  return rc;
}

}  // namespace orx
