// The guard of every command's output, before anything is written.
#pragma once

#include <filesystem>
#include <vector>

namespace orx {

// Whether `output` names an existing file that is one of `inputs` (through
// any of its names); `which` is then set to that input.
bool OutputIsInput(const std::filesystem::path& output,
                   const std::vector<std::filesystem::path>& inputs,
                   std::filesystem::path& which);

// An output that is one of the inputs is refused (exit kExitFailure), an
// existing one (a dangling link included) needs `force` (exit kExitExists).
// Reports as "<command>: ..." and returns the exit code, or kExitOk.
int GuardOutput(const char* command, const std::filesystem::path& output,
                const std::vector<std::filesystem::path>& inputs, bool force);

}  // namespace orx
