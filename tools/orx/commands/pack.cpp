// orx pack FILE -o OUT [--key-bits 128|192|256] [--force] [--no-password-rules]
//          [password option] [--archive --stub S --cleanup C --decryptor D]
#include <cerrno>
#include <cstring>

#include "archive_builder.h"
#include "command_line.h"
#include "commands.h"
#include "display_text.h"
#include "exit_codes.h"
#include "output_guard.h"
#include "orx/unique_handle.h"
#include "password_source.h"
#include "platform.h"
#include "path_arg.h"
#include "payload/payload_header.h"
#include "payload_writer.h"
#include "pending_file.h"
#include "report.h"
#include "utf.h"

namespace orx {

namespace fs = std::filesystem;

int RunPack(const std::vector<std::string>& args) {
  ParsedArgs a;
  std::string error;
  if (!ParseArgs(args,
                 {"-o", "--key-bits", "--password-file", "--stub", "--cleanup", "--decryptor"},
                 {"--password-stdin", "--archive", "--force", "--no-password-rules"}, a, error)) {
    Report("pack: " + error);
    return kExitUsage;
  }
  if (a.operands.size() != 1 || !a.Has("-o")) {
    Report("pack: needs one FILE and -o OUT");
    return kExitUsage;
  }
  int keyBits = 256;
  if (a.Has("--key-bits")) {
    std::string bits = a.Value("--key-bits");
    if (bits != "128" && bits != "192" && bits != "256") {
      Report("pack: --key-bits must be 128, 192 or 256");
      return kExitUsage;
    }
    keyBits = std::stoi(bits);
  }
  bool archive = a.Flag("--archive");
  bool anyPart = a.Has("--stub") || a.Has("--cleanup") || a.Has("--decryptor");
  if (archive != (a.Has("--stub") && a.Has("--cleanup") && a.Has("--decryptor")) ||
      (!archive && anyPart)) {
    Report("pack: --archive goes with all of --stub, --cleanup and --decryptor");
    return kExitUsage;
  }
  PasswordSource source;
  if (!ChoosePasswordSource(a.Has("--password-file"), a.Value("--password-file"),
                            a.Flag("--password-stdin"), source, error)) {
    Report("pack: " + error);
    return kExitUsage;
  }
  const bool force = a.Flag("--force");

  // Everything that can be refused is refused before the password is asked.
  fs::path input = PathArg(a.operands[0]);
  platform::FileFacts inputFacts;
  if (!platform::FactsOfPath(input, inputFacts)) {
    Report("pack: cannot open " + input.u8string() + ": " + std::strerror(errno));
    return kExitFailure;
  }
  if (!inputFacts.regular) {
    Report("pack: " + input.u8string() + " is not a regular file");
    return kExitFailure;
  }
  std::u16string storedName;
  if (!Utf8ToUtf16(input.filename().u8string(), storedName) ||
      !payload::IsPlainFileName(reinterpret_cast<const uint16_t*>(storedName.data()),
                                storedName.size())) {
    Report("pack: the name " + DisplayText(input.filename().u8string()) +
           " cannot be stored: it is not a plain Windows file name (1-255 characters, no \\ / : "
           "* ? \" < > |, no control, bidirectional or invisible characters, no blank first or "
           "last and no more than two in a row, no trailing dot, no device name, not "
           "desktop.ini or autorun.inf)");
    return kExitFailure;
  }
  ArchiveParts parts{PathArg(a.Value("--stub")), PathArg(a.Value("--cleanup")),
                     PathArg(a.Value("--decryptor"))};
  fs::path out = PathArg(a.Value("-o"));
  std::vector<fs::path> inputs{input};
  if (archive) inputs.insert(inputs.end(), {parts.stub, parts.cleanup, parts.decryptor});
  if (int refused = GuardOutput("pack", out, inputs, force)) return refused;
  std::string head;
  bool ioFailure = false;
  if (archive && !LoadArchiveParts(parts, head, error, ioFailure)) {
    Report("pack: " + error + "; nothing written");
    return kExitFailure;
  }

  Secret<PasswordBytes> password;
  {
    PasswordText text;
    int rc = ReadPassword(source, true, text, error);
    if (rc == kExitOk &&
        (!AcceptNewPassword(text, !a.Flag("--no-password-rules"), error) ||
         !PasswordBytesFor(text, password.value, error))) {
      rc = kExitPassword;
    }
    if (rc != kExitOk) {
      Report("pack: " + error + "; nothing written");
      return rc;
    }
  }

  int result = kExitOk;
  CFile in(platform::OpenFile(input, "rb"));
  PendingFile output;
  if (!in) {
    error = "cannot open " + input.u8string() + ": " + std::strerror(errno);
    result = kExitFailure;
  } else if (!output.Open(out, force, error)) {
    result = output.targetExists() ? kExitExists : kExitFailure;
  } else {
    PackRequest request{in.get(), inputFacts.size, storedName, password.value.bytes,
                        password.value.length, keyBits / 8};
    PayloadWriter writer = [&request](std::FILE* file, std::string& e) {
      return WritePayload(request, file, e);
    };
    bool written = archive ? WriteArchive(head, writer, output, error) : writer(output.file(), error);
    if (!written || !output.Commit(error)) {
      result = output.targetExists() ? kExitExists : kExitFailure;
    }
  }
  if (result != kExitOk) {
    Report("pack: " + error + (output.committed() ? "" : "; nothing written"));
  }
  return result;
}

}  // namespace orx
