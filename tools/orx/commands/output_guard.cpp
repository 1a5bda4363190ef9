#include "output_guard.h"

#include <system_error>

#include "exit_codes.h"
#include "platform.h"
#include "report.h"

namespace orx {

bool OutputIsInput(const std::filesystem::path& output,
                   const std::vector<std::filesystem::path>& inputs,
                   std::filesystem::path& which) {
  platform::FileFacts out;
  if (!platform::FactsOfPath(output, out) || (out.device == 0 && out.inode == 0)) return false;
  for (const auto& input : inputs) {
    platform::FileFacts in;
    if (platform::FactsOfPath(input, in) && platform::SameFile(in, out)) {
      which = input;
      return true;
    }
  }
  return false;
}

int GuardOutput(const char* command, const std::filesystem::path& output,
                const std::vector<std::filesystem::path>& inputs, bool force) {
  std::filesystem::path same;
  if (OutputIsInput(output, inputs, same)) {
    Report(std::string(command) + ": the output " + output.u8string() + " is the input " +
           same.u8string() + "; nothing written");
    return kExitFailure;
  }
  std::error_code ec;
  if (!force && std::filesystem::exists(std::filesystem::symlink_status(output, ec))) {
    Report(std::string(command) + ": " + output.u8string() + " exists already; --force replaces it");
    return kExitExists;
  }
  return kExitOk;
}

}  // namespace orx
