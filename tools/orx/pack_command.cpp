// orx pack FILE -o OUT [--key-bits 128|192|256] [password option]
//          [--archive --stub S --cleanup C --decryptor D]
#include <cerrno>
#include <cstring>

#include "archive_builder.h"
#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "path_arg.h"
#include "report.h"
#include "password_input.h"
#include "payload/payload_header.h"
#include "payload_writer.h"
#include "open_file.h"
#include "pending_file.h"
#include "utf.h"

namespace orx {

namespace fs = std::filesystem;

int RunPack(const std::vector<std::string>& args) {
  ParsedArgs a;
  std::string error;
  if (!ParseArgs(args,
                 {"-o", "--key-bits", "--password-file", "--stub", "--cleanup", "--decryptor"},
                 {"--password-stdin", "--archive"}, a, error)) {
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
  if (a.Has("--password-file") && a.Flag("--password-stdin")) {
    Report("pack: give one of --password-file and --password-stdin");
    return kExitUsage;
  }

  // Everything that can be refused is refused before the password is asked.
  fs::path input = PathArg(a.operands[0]);
  std::error_code ec;
  if (!fs::is_regular_file(input, ec)) {
    Report("pack: " + input.string() + " is not a readable file");
    return kExitFailure;
  }
  std::u16string storedName;
  if (!Utf8ToUtf16(input.filename().u8string(), storedName) ||
      !payload::IsPlainFileName(reinterpret_cast<const uint16_t*>(storedName.data()),
                                storedName.size())) {
    Report("pack: the name " + input.filename().u8string() +
           " cannot be stored: it is not a plain Windows file name (1-255 characters, no \\ / : "
           "* ? \" < > | or control characters, no trailing dot or blank, no device name)");
    return kExitFailure;
  }
  std::string head;
  if (archive && !LoadArchiveParts({PathArg(a.Value("--stub")), PathArg(a.Value("--cleanup")),
                                    PathArg(a.Value("--decryptor"))},
                                   head, error)) {
    Report("pack: " + error + "; nothing written");
    return kExitFailure;
  }

  std::u16string password;
  unsigned char passwordBytes[payload::kPasswordBytesCapacity];
  size_t passwordLength = 0;
  if (!ReadPassword({a.Value("--password-file"), a.Flag("--password-stdin")}, true, password,
                    error) ||
      !PasswordBytesFor(password, passwordBytes, passwordLength, error)) {
    Report("pack: " + error + "; nothing written");
    return kExitFailure;
  }

  std::FILE* in = OpenFile(input, "rb");
  if (!in) {
    Report("pack: cannot open " + input.string() + ": " + std::strerror(errno));
    return kExitFailure;
  }
  PackRequest request{in, fs::file_size(input, ec), storedName, passwordBytes, passwordLength,
                      keyBits / 8};
  PayloadWriter writer = [&request](std::FILE* out, std::string& e) {
    return WritePayload(request, out, e);
  };
  fs::path out = PathArg(a.Value("-o"));
  bool ok;
  if (archive) {
    ok = WriteArchive(head, writer, out, error);
  } else {
    PendingFile output;
    ok = output.Open(out, error) && writer(output.file(), error) && output.Commit(true, error);
  }
  std::fclose(in);
  std::memset(passwordBytes, 0, sizeof passwordBytes);
  if (!ok) {
    Report("pack: " + error + "; nothing written");
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace orx
