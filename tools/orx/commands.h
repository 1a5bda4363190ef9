// The orx commands. Each takes the arguments after its name, reports on
// standard error and returns an ExitCode.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orx {

int RunArchive(const std::vector<std::string>& args);
int RunPack(const std::vector<std::string>& args);
int RunUnpack(const std::vector<std::string>& args);
int RunInspect(const std::vector<std::string>& args);

// A command-line argument (UTF-8 on every platform) as a path.
inline std::filesystem::path PathArg(const std::string& utf8) {
  return std::filesystem::u8path(utf8);
}

// "orx: <message>" on standard error.
void Report(const std::string& message);

}  // namespace orx
