// orx: builds self-decrypting archives and payloads, and opens them without
// the Windows decryptor.
#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "exit_codes.h"
#include "platform.h"
#include "report.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const std::vector<std::string>&);
  const char* usage;
};

const Command kCommands[] = {
    {"archive", orx::RunArchive,
     "  orx archive --stub S --cleanup C --decryptor D --payload P -o OUT [--force]\n"
     "    Builds an archive from the three programs and an encrypted payload. Each\n"
     "    program must be a Windows program fit for its slot (the stub and the\n"
     "    decryptor GUI programs, the cleanup tool a console program) and the\n"
     "    payload one the decryptor can open.\n"},
    {"pack", orx::RunPack,
     "  orx pack FILE -o OUT [--key-bits 128|192|256] [--force] [--no-password-rules]\n"
     "           [password option] [--archive --stub S --cleanup C --decryptor D]\n"
     "    Encrypts FILE into a payload, or with --archive into an archive. The\n"
     "    password follows the product's rules: 4 to 12 characters, letters, digits\n"
     "    and , - . / ; = [ \\ ]. --no-password-rules takes any password the\n"
     "    decryptor can use (not empty, at most 254 characters).\n"},
    {"unpack", orx::RunUnpack,
     "  orx unpack ARCHIVE-OR-PAYLOAD [-C DIR] [--force] [--allow-dot-name]\n"
     "             [password option]\n"
     "    Decrypts into DIR (default: here) under the stored name, verified\n"
     "    against the stored digest and flushed to disk before it appears. A name\n"
     "    starting with a dot (a hidden file, perhaps a program's settings) is\n"
     "    written only with --allow-dot-name; one longer than DIR takes is refused\n"
     "    before the password is asked.\n"},
    {"inspect", orx::RunInspect,
     "  orx inspect ARCHIVE-OR-PAYLOAD\n"
     "    Prints the header fields and the cipher.\n"},
};

const char kCommon[] =
    "An existing output is replaced only with --force, and never by a failed run.\n"
    "password options: --password-file F (first line of F), --password-stdin\n"
    "  (first line of standard input); otherwise the terminal is asked.\n"
    "exit codes: 0 done; 1 a file could not be read or written, or was refused;\n"
    "  2 usage; 3 wrong or refused password; 4 digest mismatch; 5 malformed\n"
    "  payload or archive; 6 output exists; 128+N ended by signal N (130 Ctrl-C,\n"
    "  131 Ctrl-\\, 143 SIGTERM, 129 SIGHUP), the partial output removed.\n";

void PrintUsage(std::FILE* to, const Command* only) {
  std::fputs("usage:\n", to);
  for (const Command& c : kCommands) {
    if (!only || only == &c) std::fputs(c.usage, to);
  }
  std::fputs(kCommon, to);
}

// --help or -h anywhere before a "--" that ends the options.
bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  orx::platform::ProtectProcessMemory();
  orx::platform::InstallInterruptHandlers();
  std::vector<std::string> args = orx::platform::Arguments(argc, argv);
  if (args.empty() || args[0] == "--help" || args[0] == "-h") {
    PrintUsage(args.empty() ? stderr : stdout, nullptr);
    return args.empty() ? orx::kExitUsage : orx::kExitOk;
  }
  std::string name = args[0];
  args.erase(args.begin());
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    if (AsksForHelp(args)) {
      PrintUsage(stdout, &c);
      return orx::kExitOk;
    }
    int rc = c.run(args);
    return orx::platform::InterruptRequested() ? orx::platform::InterruptExitCode() : rc;
  }
  orx::Report("unknown command " + name);
  PrintUsage(stderr, nullptr);
  return orx::kExitUsage;
}
