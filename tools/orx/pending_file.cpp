#include "pending_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <random>

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace orx {

namespace fs = std::filesystem;

namespace {

int CreateExclusive(const fs::path& path) {
#if defined(_WIN32)
  return _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0600);
#else
  return ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
#endif
}

}  // namespace

PendingFile::~PendingFile() { Discard(); }

bool PendingFile::Open(const fs::path& target, std::string& error) {
  Discard();
  target_ = target;
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path candidate = target;
    candidate += ".orx-" + std::to_string(random() % 1000000000u) + ".part";
    int fd = CreateExclusive(candidate);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error = "cannot create " + candidate.string() + ": " + std::strerror(errno);
      return false;
    }
#if defined(_WIN32)
    file_ = _fdopen(fd, "wb");
#else
    file_ = fdopen(fd, "wb");
#endif
    if (!file_) {
      error = std::string("cannot open the output stream: ") + std::strerror(errno);
#if defined(_WIN32)
      _close(fd);
#else
      ::close(fd);
#endif
      fs::remove(candidate);
      return false;
    }
    temp_ = candidate;
    return true;
  }
  error = "cannot create a temporary file beside " + target.string();
  return false;
}

bool PendingFile::Commit(bool replace, std::string& error) {
  if (!file_) {
    error = "no output file is open";
    return false;
  }
  bool written = std::fflush(file_) == 0 && !std::ferror(file_);
  bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  if (!written || !closed) {
    error = "cannot write " + target_.string() + ": " + std::strerror(errno);
    Discard();
    return false;
  }
#if defined(_WIN32)
  DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!MoveFileExW(temp_.c_str(), target_.c_str(), flags)) {
    error = GetLastError() == ERROR_ALREADY_EXISTS || GetLastError() == ERROR_FILE_EXISTS
                ? target_.string() + " exists already"
                : "cannot move the output into place as " + target_.string();
    Discard();
    return false;
  }
#else
  int rc;
  if (replace) {
    rc = std::rename(temp_.c_str(), target_.c_str());
  } else {
    // link() fails when the target exists, which makes the no-replace
    // promise hold even against a file that appeared while we worked.
    rc = ::link(temp_.c_str(), target_.c_str());
    if (rc == 0) ::unlink(temp_.c_str());
  }
  if (rc != 0) {
    error = errno == EEXIST ? target_.string() + " exists already"
                            : "cannot move the output into place as " + target_.string() +
                                  ": " + std::strerror(errno);
    Discard();
    return false;
  }
#endif
  temp_.clear();
  return true;
}

void PendingFile::Discard() {
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!temp_.empty()) {
    std::error_code ignored;
    fs::remove(temp_, ignored);
    temp_.clear();
  }
}

}  // namespace orx
