// A command-line argument (UTF-8 on every platform) as a path.
#pragma once

#include <filesystem>
#include <string>

namespace orx {

inline std::filesystem::path PathArg(const std::string& utf8) {
  return std::filesystem::u8path(utf8);
}

}  // namespace orx
