#include "output_file.h"

#include <cerrno>
#include <cstring>

#include "standard_streams.h"

namespace orx {

bool OutputFile::Open(const std::filesystem::path& target, bool replace, bool shared,
                      std::string& error) {
  standard_ = IsStandardStream(target);
  committed_ = false;
  return standard_ || pending_.Open(target, replace, shared, error);
}

std::FILE* OutputFile::file() const { return standard_ ? stdout : pending_.file(); }

bool OutputFile::Commit(std::string& error) {
  if (!standard_) return pending_.Commit(error);
  errno = 0;
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    error = std::string("cannot write to standard output: ") + std::strerror(errno ? errno : EIO);
    return false;
  }
  committed_ = true;
  return true;
}

}  // namespace orx
