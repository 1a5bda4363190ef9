// "-" as a file name: standard input where orx reads, standard output where
// it writes.
#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "orx/unique_handle.h"

namespace orx {

inline bool IsStandardStream(const std::filesystem::path& path) { return path == "-"; }

// How messages name an input or an output: "standard input", "standard
// output", or the path.
std::string InputName(const std::filesystem::path& path);
std::string OutputName(const std::filesystem::path& path);

// Opens an archive or payload (or a program for one) for reading: "-" is
// standard input. A file is read as it is; a pipe (standard input or a
// named one) is first kept whole in an unnamed temporary file
// (platform::CreateUnnamedTemporary), since a payload's length, and its
// check, are known only at its end. What is kept is what came in: cipher
// text, nothing decrypted. Standard input at a terminal is refused: no one
// types a payload. Null with `error` set (the OS reason).
CFile OpenInput(const std::filesystem::path& path, std::string& error);

}  // namespace orx
