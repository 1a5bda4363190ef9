#include "pending_file.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <system_error>

namespace orx {

namespace fs = std::filesystem;

namespace {

std::string Token() {
  static std::random_device random;
  return std::to_string(random() % 1000000000u);
}

// A fresh temporary name beside `target`.
fs::path NewTemporaryName(const fs::path& target) { return TemporaryNameFor(target, Token()); }

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

bool PendingFile::Open(const fs::path& target, bool replace, bool shared,
                       std::string& error) {
  Discard();
  target_ = target;
  targetExists_ = false;
  committed_ = false;
  if (!CreateTemporary(shared, error)) return false;
  if (!move_.Prepare(target_, replace, temp_, tempRemoval_, NewTemporaryName, error,
                     targetExists_)) {
    Discard();
    return false;
  }
  return true;
}

bool PendingFile::CreateTemporary(bool shared, std::string& error) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    fs::path candidate = NewTemporaryName(target_);
    {
      platform::InterruptHold hold;  // created and armed for removal as one step
      file_.reset(platform::CreateExclusive(candidate, shared));
      if (file_) {
        temp_ = candidate;
        tempRemoval_.Arm(candidate);
      }
    }
    if (file_) return true;
    if (errno == EEXIST) continue;
    // Named as the user named it: the temporary name is orx's business.
    error = "cannot write " + target_.u8string() + ": " + Reason(errno);
    return false;
  }
  error = "cannot create a temporary file beside " + target_.u8string();
  return false;
}

bool PendingFile::Commit(std::string& error) {
  targetExists_ = false;
  if (!file_) {
    error = "no output file is open";
    return false;
  }
  errno = 0;
  // On the disk before it takes its name: otherwise a power cut can leave
  // the final name on an empty or partial file.
  bool written = std::fflush(file_.get()) == 0 && !std::ferror(file_.get()) &&
                 platform::SyncFile(file_.get());
  int saved = errno;
  bool closed = std::fclose(file_.release()) == 0;
  if (written && !closed) saved = errno;
  if (!written || !closed) {
    error = "cannot write " + target_.u8string() + ": " + Reason(saved ? saved : EIO);
    Discard();
    return false;
  }
  if (platform::InterruptRequested()) {
    error = "interrupted";
    Discard();
    return false;
  }
  {
    platform::InterruptHold hold;  // the handler sees the output pending or committed
    if (!move_.Move(temp_, error, targetExists_)) {
      Discard();
      return false;
    }
    tempRemoval_.Disarm();
    temp_.clear();
    committed_ = true;
  }
  move_.Abandon();
  // The new name itself is on the disk only once its folder is.
  if (!platform::SyncFolder(target_.parent_path())) {
    error = target_.u8string() + " is in place, but its folder could not be flushed to disk (" +
            Reason(errno) + "): it may not survive a power cut";
    return false;
  }
  return true;
}

void PendingFile::Discard() {
  file_.reset();
  if (!temp_.empty()) {
    std::error_code ignored;
    fs::remove(temp_, ignored);
    temp_.clear();
  }
  tempRemoval_.Disarm();
  move_.Abandon();
}

}  // namespace orx
