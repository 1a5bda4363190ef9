#include "pending_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

#include "interrupt.h"

#if defined(_WIN32)
#include <io.h>
#include <windows.h>
#else
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace orx {

namespace fs = std::filesystem;

namespace {

std::string Token() {
  static std::random_device random;
  return std::to_string(random() % 1000000000u);
}

int CreateExclusive(const fs::path& path) {
#if defined(_WIN32)
  return _wopen(path.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0600);
#else
  return ::open(path.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
#endif
}

#if !defined(_WIN32)
#ifndef RENAME_NOREPLACE
#define RENAME_NOREPLACE (1 << 0)
#endif

// rename() that fails with EEXIST instead of replacing; errno EINVAL, ENOSYS
// or ENOTSUP where the kernel or the filesystem does not offer it. Through
// the system call, since older C libraries have no wrapper.
int RenameNoReplace(const fs::path& from, const fs::path& to) {
#if defined(SYS_renameat2)
  return static_cast<int>(
      ::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE));
#else
  (void)from;
  (void)to;
  errno = ENOSYS;
  return -1;
#endif
}
#endif

std::string Reason(int error) { return std::strerror(error); }

}  // namespace

fs::path TemporaryNameFor(const fs::path& target, const std::string& token) {
  std::string suffix = ".orx-" + token + ".part";
  std::string name = target.filename().u8string();
  size_t room = PendingFile::kNameLimit - suffix.size();
  if (name.size() > room) {
    size_t cut = room;
    // Back off to the start of a UTF-8 sequence.
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    name.resize(cut);
  }
  return target.parent_path() / fs::u8path(name + suffix);
}

PendingFile::~PendingFile() { Discard(); }

bool PendingFile::Open(const fs::path& target, bool replace, std::string& error) {
  Discard();
  target_ = target;
  targetExists_ = false;
  if (!CreateTemporary(error)) return false;
#if defined(_WIN32)
  move_ = replace ? Move::kReplace : Move::kRenameNoReplace;
#else
  move_ = Move::kReplace;
  if (!replace && !ChooseNoReplaceMove(error)) {
    Discard();
    return false;
  }
#endif
  return true;
}

void PendingFile::SetTemporary(const fs::path& path) {
  interrupt::Disarm(tempSlot_);
  temp_ = path;
  tempSlot_ = interrupt::ArmRemoval(path);
}

bool PendingFile::CreateTemporary(std::string& error) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path candidate = TemporaryNameFor(target_, Token());
    int fd;
    {
      interrupt::Hold hold;  // created and armed for removal as one step
      fd = CreateExclusive(candidate);
      if (fd >= 0) SetTemporary(candidate);
    }
    if (fd < 0) {
      if (errno == EEXIST) continue;
      error = "cannot create " + candidate.u8string() + ": " + Reason(errno);
      return false;
    }
#if defined(_WIN32)
    file_ = _fdopen(fd, "wb");
#else
    file_ = fdopen(fd, "wb");
#endif
    if (!file_) {
      error = "cannot open the output stream: " + Reason(errno);
#if defined(_WIN32)
      _close(fd);
#else
      ::close(fd);
#endif
      return false;
    }
    return true;
  }
  error = "cannot create a temporary file beside " + target_.u8string();
  return false;
}

#if !defined(_WIN32)
bool PendingFile::ChooseNoReplaceMove(std::string& error) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path probe = TemporaryNameFor(target_, Token());
    int rc, saved;
    {
      interrupt::Hold hold;
      rc = ::link(temp_.c_str(), probe.c_str());
      saved = errno;
      if (rc == 0) ::unlink(probe.c_str());
    }
    if (rc == 0) {
      move_ = Move::kLink;
      return true;
    }
    if (saved == EEXIST) continue;
    // Hard links refused here: does the filesystem take a no-replace rename?
    // The probe moves the temporary file to a new temporary name.
    {
      interrupt::Hold hold;
      rc = RenameNoReplace(temp_, probe);
      saved = errno;
      if (rc == 0) SetTemporary(probe);
    }
    if (rc == 0) {
      move_ = Move::kRenameNoReplace;
      return true;
    }
    if (saved == EEXIST) continue;
    // Neither: hold the final name with an empty placeholder from now on.
    {
      interrupt::Hold hold;
      placeholderFd_ = ::open(target_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
      saved = errno;
      if (placeholderFd_ >= 0) placeholderSlot_ = interrupt::ArmRemoval(target_);
    }
    if (placeholderFd_ < 0) {
      targetExists_ = saved == EEXIST;
      error = targetExists_ ? target_.u8string() + " exists already"
                            : "cannot create " + target_.u8string() + ": " + Reason(saved);
      return false;
    }
    struct stat st;
    if (::fstat(placeholderFd_, &st) != 0) {
      error = "cannot examine " + target_.u8string() + ": " + Reason(errno);
      return false;
    }
    placeholder_.device = static_cast<std::uint64_t>(st.st_dev);
    placeholder_.inode = static_cast<std::uint64_t>(st.st_ino);
    move_ = Move::kOverPlaceholder;
    return true;
  }
  error = "cannot create a temporary file beside " + target_.u8string();
  return false;
}

bool PendingFile::PlaceholderStillOurs() const {
  FileFacts now;
  struct stat st;
  if (placeholderFd_ < 0 || ::lstat(target_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    return false;
  }
  now.device = static_cast<std::uint64_t>(st.st_dev);
  now.inode = static_cast<std::uint64_t>(st.st_ino);
  return SameFile(now, placeholder_);
}
#endif

bool PendingFile::MoveIntoPlace(std::string& error) {
#if defined(_WIN32)
  DWORD flags = MOVEFILE_WRITE_THROUGH | (move_ == Move::kReplace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!MoveFileExW(temp_.c_str(), target_.c_str(), flags)) {
    DWORD e = GetLastError();
    targetExists_ = e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS;
    error = targetExists_ ? target_.u8string() + " exists already"
                          : "cannot move the output into place as " + target_.u8string() + ": " +
                                std::system_category().message(static_cast<int>(e));
    return false;
  }
  return true;
#else
  int rc = 0;
  switch (move_) {
    case Move::kReplace:
      rc = std::rename(temp_.c_str(), target_.c_str());
      break;
    case Move::kLink:
      rc = ::link(temp_.c_str(), target_.c_str());
      if (rc == 0) ::unlink(temp_.c_str());
      break;
    case Move::kRenameNoReplace:
      rc = RenameNoReplace(temp_, target_);
      break;
    case Move::kOverPlaceholder:
      if (!PlaceholderStillOurs()) {
        interrupt::Disarm(placeholderSlot_);
        placeholderSlot_ = -1;
        rc = -1;
        errno = EEXIST;
        break;
      }
      rc = std::rename(temp_.c_str(), target_.c_str());
      break;
  }
  if (rc != 0) {
    targetExists_ = errno == EEXIST;
    error = targetExists_ ? target_.u8string() + " exists already"
                          : "cannot move the output into place as " + target_.u8string() + ": " +
                                Reason(errno);
    return false;
  }
  return true;
#endif
}

bool PendingFile::Commit(std::string& error) {
  targetExists_ = false;
  if (!file_) {
    error = "no output file is open";
    return false;
  }
  errno = 0;
  bool written = std::fflush(file_) == 0 && !std::ferror(file_);
  int saved = errno;
  bool closed = std::fclose(file_) == 0;
  if (written && !closed) saved = errno;
  file_ = nullptr;
  if (!written || !closed) {
    error = "cannot write " + target_.u8string() + ": " + Reason(saved ? saved : EIO);
    Discard();
    return false;
  }
  if (interrupt::Requested()) {
    error = "interrupted";
    Discard();
    return false;
  }
  {
    interrupt::Hold hold;  // the handler sees the output pending or committed
    if (!MoveIntoPlace(error)) {
      Discard();
      return false;
    }
    interrupt::Disarm(tempSlot_);
    interrupt::Disarm(placeholderSlot_);
    tempSlot_ = placeholderSlot_ = -1;
    temp_.clear();
  }
#if !defined(_WIN32)
  if (placeholderFd_ >= 0) ::close(placeholderFd_);
  placeholderFd_ = -1;
#endif
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
  interrupt::Disarm(tempSlot_);
  tempSlot_ = -1;
#if !defined(_WIN32)
  if (placeholderFd_ >= 0) {
    if (PlaceholderStillOurs()) ::unlink(target_.c_str());
    ::close(placeholderFd_);
    placeholderFd_ = -1;
  }
#endif
  interrupt::Disarm(placeholderSlot_);
  placeholderSlot_ = -1;
}

}  // namespace orx
