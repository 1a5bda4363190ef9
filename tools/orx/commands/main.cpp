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
     "  orx pack FILE -o OUT [--format 1|2] [--cost N] [--key-bits 128|192|256]\n"
     "           [--force] [--no-password-rules]\n"
     "           [password option | --generate-password]\n"
     "           [--archive --stub S --cleanup C --decryptor D]\n"
     "    Encrypts FILE into a payload, or with --archive into an archive, in\n"
     "    format 2 unless --format 1 (see payload formats). --cost N sets format\n"
     "    2's cost in iterations (default 600000; 100000 to 10000000). --key-bits\n"
     "    sets format 1's AES key (default 256; format 2 is always 256).\n"
     "    --no-password-rules lets format 1 take any password its decryptor can\n"
     "    use (see passwords). --generate-password makes a random passphrase of\n"
     "    100 bits (five groups of four lowercase letters and digits, without\n"
     "    l, o, 0 and 1, joined by -), uses it and prints it on standard error\n"
     "    as the line \"password: ...\" once the output is written; with --format 1\n"
     "    it needs --no-password-rules, since 12 characters cannot hold 100 bits.\n"},
    {"unpack", orx::RunUnpack,
     "  orx unpack ARCHIVE-OR-PAYLOAD [-C DIR] [--force] [--allow-dot-name]\n"
     "             [password option]\n"
     "    Decrypts into DIR (default: here) under the stored name, verified\n"
     "    against the stored digest and flushed to disk before it appears. A name\n"
     "    starting with a dot (a hidden file, perhaps a program's settings), or\n"
     "    outside Windows with a dash (an option to commands given the folder's\n"
     "    files), is written only with --allow-dot-name; one longer than DIR\n"
     "    takes is refused before the password is asked.\n"},
    {"inspect", orx::RunInspect,
     "  orx inspect ARCHIVE-OR-PAYLOAD\n"
     "    Prints the header fields and the cipher.\n"},
};

const char kCommon[] =
    "An existing output is replaced only with --force, and never by a failed run.\n"
    "payload formats: 2, the default, derives its key from the password's UTF-8\n"
    "  with PBKDF2-HMAC-SHA256, a random salt and a stored cost, wraps a random\n"
    "  file key under it and authenticates header and content with HMAC-SHA256.\n"
    "  1 derives its key from one unsalted MD5 of the password and stores the\n"
    "  content's SHA-1 in the clear: far cheaper to guess; pack says so when it\n"
    "  writes it. unpack, inspect and archive read both.\n"
    "passwords: format 2 takes any passphrase of 1 to 254 characters (UTF-16\n"
    "  units) in any script, taken as typed, without normalisation. Format 1\n"
    "  keeps the product's rules for a new payload: 4 to 12 characters, the\n"
    "  letters A-Z and a-z, the digits and , - . / ; = [ \\ ]; with\n"
    "  --no-password-rules any password its decryptor can use: 1 to 254\n"
    "  characters, none whose low byte is zero (it keeps only that byte).\n"
    "password options: --password-file F (first line of F), --password-stdin\n"
    "  (first line of standard input); otherwise the terminal is asked.\n"
    "exit codes: 0 done; 1 a file could not be read or written, or was refused;\n"
    "  2 usage; 3 wrong or refused password; 4 digest or tag mismatch; 5 malformed\n"
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
