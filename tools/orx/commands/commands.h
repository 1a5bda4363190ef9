// The orx commands, one file each, named after it. Each takes the arguments
// after its name, reports on standard error and returns an exit code
// (exit_codes.h).
#pragma once

#include <string>
#include <vector>

namespace orx {

int RunArchive(const std::vector<std::string>& args);
int RunPack(const std::vector<std::string>& args);
int RunUnpack(const std::vector<std::string>& args);
int RunTest(const std::vector<std::string>& args);
int RunInspect(const std::vector<std::string>& args);

}  // namespace orx
