#include "output_guard.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "exit_codes.h"
#include "platform.h"
#include "report.h"
#include "standard_streams.h"

namespace orx {

namespace fs = std::filesystem;

namespace {

// The facts of a named file, or of standard input or output for "-".
bool Facts(const fs::path& path, std::FILE* standard, platform::FileFacts& facts) {
  if (!IsStandardStream(path)) return platform::FactsOfPath(path, facts);
  return platform::FactsOfFile(standard, facts) && facts.regular;
}

}  // namespace

bool OutputIsInput(const fs::path& output, const std::vector<fs::path>& inputs,
                   fs::path& which) {
  platform::FileFacts out;
  if (!Facts(output, stdout, out) || (out.device == 0 && out.inode == 0)) return false;
  for (const auto& input : inputs) {
    platform::FileFacts in;
    if (!input.empty() && Facts(input, stdin, in) && platform::SameFile(in, out)) {
      which = input;
      return true;
    }
  }
  return false;
}

int GuardOutput(const char* command, const fs::path& output, const std::vector<fs::path>& inputs,
                bool force) {
  fs::path same;
  if (OutputIsInput(output, inputs, same)) {
    Report(std::string(command) + ": the output " + OutputName(output) + " is the input " +
           InputName(same) + "; nothing written");
    return kExitFailure;
  }
  std::error_code ec;
  if (!force && !IsStandardStream(output) &&
      fs::exists(fs::symlink_status(output, ec))) {
    Report(std::string(command) + ": " + output.u8string() +
           " exists already; --force replaces it");
    return kExitExists;
  }
  return kExitOk;
}

int CheckOutputFolder(const char* command, const fs::path& output) {
  if (IsStandardStream(output)) return kExitOk;
  const fs::path folder = output.parent_path();
  const std::string shown = folder.empty() ? "the current folder" : folder.u8string();
  if (!platform::CanCreateIn(folder)) {
    Report(std::string(command) + ": cannot write " + output.u8string() + ": " + shown +
           (errno == ENOTDIR ? " is not a folder" : ": " + std::string(std::strerror(errno))) +
           "; nothing written");
    return kExitFailure;
  }
  const std::size_t length = output.filename().native().size();
  const std::size_t limit = platform::NameLimit(folder.empty() ? fs::path(".") : folder);
  if (length > limit) {
    Report(std::string(command) + ": the name " + output.filename().u8string() + " is " +
           std::to_string(length) + " bytes long, more than the " + std::to_string(limit) +
           " a file name can have in " + shown + "; nothing written");
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace orx
