// orx: builds self-decrypting archives and payloads, and opens them without
// the Windows decryptor.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "exit_codes.h"
#include "help_text.h"
#include "platform.h"
#include "report.h"

namespace {

struct Command {
  const char* name;
  int (*run)(const std::vector<std::string>&);
};

const Command kCommands[] = {
    {"pack", orx::RunPack},       {"unpack", orx::RunUnpack},   {"test", orx::RunTest},
    {"inspect", orx::RunInspect}, {"archive", orx::RunArchive},
};

// --help or -h anywhere before a "--" that ends the options.
bool AsksForHelp(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "--") return false;
    if (a == "--help" || a == "-h") return true;
  }
  return false;
}

int UnknownCommand(const std::string& name) {
  std::vector<std::string> known = orx::CommandNames();
  known.insert(known.end(), {"--help", "--version"});
  const std::string nearest = orx::NearestWord(name, known);
  orx::Report("unknown command " + name +
              (nearest.empty() ? "" : "; did you mean " + nearest + "?") +
              " (orx --help lists the commands)");
  return orx::kExitUsage;
}

int Dispatch(std::vector<std::string> args) {
  if (args.empty()) {
    orx::PrintOverview(stderr);
    return orx::kExitUsage;
  }
  const std::string name = args[0];
  args.erase(args.begin());
  if (name == "--help" || name == "-h") {
    orx::PrintOverview(stdout);
    return orx::kExitOk;
  }
  if (name == "--version") {
    orx::PrintVersion(stdout);
    return orx::kExitOk;
  }
  for (const Command& c : kCommands) {
    if (name != c.name) continue;
    if (AsksForHelp(args)) {
      orx::PrintCommandHelp(stdout, c.name);
      return orx::kExitOk;
    }
    return c.run(args);
  }
  return UnknownCommand(name);
}

// What went to standard output must have arrived: a full disk or a closed
// file there fails the command, as any other write does (a command that
// failed has said why already).
int CheckStandardOutput(int rc) {
  errno = 0;
  if ((std::fflush(stdout) == 0 && !std::ferror(stdout)) || rc != orx::kExitOk) return rc;
  orx::Report(std::string("cannot write to standard output: ") +
              std::strerror(errno ? errno : EIO));
  return rc == orx::kExitOk ? orx::kExitFailure : rc;
}

}  // namespace

int main(int argc, char** argv) {
  orx::platform::ProtectProcessMemory();
  orx::platform::InstallInterruptHandlers();
  orx::platform::UseBinaryStandardStreams();
  int rc = Dispatch(orx::platform::Arguments(argc, argv));
  if (orx::platform::InterruptRequested()) return orx::platform::InterruptExitCode();
  return CheckStandardOutput(rc);
}
