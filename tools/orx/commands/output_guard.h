// The guard of every command's output, before anything is written and
// before the password is asked.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace orx {

// Whether `output` names an existing file that is one of `inputs` (through
// any of its names; "-" stands for standard input or output, as far as that
// is a file); `which` is then set to that input.
bool OutputIsInput(const std::filesystem::path& output,
                   const std::vector<std::filesystem::path>& inputs,
                   std::filesystem::path& which);

// An output that is one of the inputs (the password file among them) is
// refused (exit kExitFailure), an existing one (a dangling link included)
// needs `force` (exit kExitExists). Reports as "<command>: ..." and returns
// the exit code, or kExitOk.
int GuardOutput(const char* command, const std::filesystem::path& output,
                const std::vector<std::filesystem::path>& inputs, bool force);

// The folder an output file goes to must take it: it exists, this process
// may create files there, and the name is not longer than the folder's file
// names can be. Nothing to check for standard output. Reports and returns
// kExitFailure, or kExitOk.
int CheckOutputFolder(const char* command, const std::filesystem::path& output);

}  // namespace orx
