// Opening files by std::filesystem::path on every platform.
#pragma once

#include <cstdio>
#include <filesystem>

namespace orx {

// fopen for a path of this platform's kind (wide on Windows).
std::FILE* OpenFile(const std::filesystem::path& path, const char* mode);

}  // namespace orx
