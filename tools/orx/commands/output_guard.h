// Opening files by std::filesystem::path on every platform, and what orx
// needs to know about an open file or a path: whether it is a regular file,
// its size and its identity (device and inode, or volume and file index on
// Windows), which tells two names of one file apart from two files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace orx {

// fopen for a path of this platform's kind (wide on Windows).
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

struct FileFacts {
  bool regular = false;  // a plain file on disk: not a pipe, device or directory
  std::uint64_t size = 0;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
};

// False with errno set (on Windows too) when the facts cannot be had.
bool FactsOfFile(std::FILE* file, FileFacts& facts);
// Follows symbolic links: the facts of the file the path leads to.
bool FactsOfPath(const std::filesystem::path& path, FileFacts& facts);

// Whether `output` names an existing file that is one of `inputs` (through
// any of its names); `which` is then set to that input.
bool OutputIsInput(const std::filesystem::path& output,
                   const std::vector<std::filesystem::path>& inputs,
                   std::filesystem::path& which);

// The guard of every command's output, before anything is written: an
// output that is one of the inputs is refused (exit kExitFailure), an
// existing one (a dangling link included) needs `force` (exit kExitExists).
// Reports as "<command>: ..." and returns the exit code, or kExitOk.
int GuardOutput(const char* command, const std::filesystem::path& output,
                const std::vector<std::filesystem::path>& inputs, bool force);

inline bool SameFile(const FileFacts& a, const FileFacts& b) {
  return a.device == b.device && a.inode == b.inode;
}

}  // namespace orx
