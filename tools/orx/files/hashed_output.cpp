#include "hashed_output.h"

#include <cerrno>
#include <cstring>
#include <system_error>

#include "platform.h"

namespace orx {

HashedOutput::HashedOutput(payload::PayloadStream* target, ProgressBar& progress)
    : target_(target), progress_(progress), shaOwner_(&sha_) {
  stream_.context = this;
  stream_.write = Write;
}

HashedOutput::~HashedOutput() { Stop(); }

bool HashedOutput::Start(std::uint64_t bytes) {
  if (!crypto::Sha1Init(&sha_)) return false;
  if (bytes < kThreadFrom) return true;
  try {
    buffers_ = std::make_unique<Secret<unsigned char[2][kChunkBytes]>>();
    worker_ = std::thread(&HashedOutput::Run, this);
  } catch (const std::exception&) {
    buffers_.reset();  // hashed at once instead
  }
  return true;
}

size_t HashedOutput::Write(void* context, const void* data, size_t size) {
  auto* self = static_cast<HashedOutput*>(context);
  if (platform::InterruptRequested()) {
    self->interrupted_ = true;
    return 0;
  }
  const auto* bytes = static_cast<const unsigned char*>(data);
  if (!self->worker_.joinable()) {
    if (!self->WriteToTarget(bytes, size)) return 0;
    if (self->hashing_ && !crypto::Sha1Update(&self->sha_, bytes, size)) {
      self->digestFailed_ = true;
      return 0;
    }
    return size;
  }
  for (size_t left = size; left > 0;) {
    size_t n = left < kChunkBytes - self->gathered_ ? left : kChunkBytes - self->gathered_;
    unsigned char* chunk = self->buffers_->value[self->posted_ % 2];
    std::memcpy(chunk + self->gathered_, bytes, n);
    self->gathered_ += n;
    bytes += n;
    left -= n;
    if (self->gathered_ == kChunkBytes && !self->Hand(kChunkBytes)) return 0;
  }
  return size;
}

bool HashedOutput::WriteToTarget(const unsigned char* data, size_t size) {
  errno = 0;
  size_t n = target_->write(target_->context, data, size);
  progress_.Advance(n);
  if (n < size) {
    writeError_ = errno ? errno : EIO;
    return false;
  }
  return true;
}

bool HashedOutput::Hand(size_t size) {
  const std::uint64_t n = posted_;
  gathered_ = 0;
  if (!WriteToTarget(buffers_->value[n % 2], size)) return false;
  std::unique_lock<std::mutex> lock(mutex_);
  sizes_[n % 2] = size;
  posted_ = n + 1;
  handed_.notify_one();
  // Chunk n - 1's buffer is the one filled next.
  hashed_.wait(lock, [this, n] { return done_ >= n; });
  return !digestFailed_;
}

void HashedOutput::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    handed_.wait(lock, [this] { return done_ < posted_ || stop_; });
    if (done_ == posted_) return;  // stopped with nothing left
    const unsigned char* chunk = buffers_->value[done_ % 2];
    size_t size = sizes_[done_ % 2];
    bool skip = digestFailed_;
    lock.unlock();
    bool ok = skip || crypto::Sha1Update(&sha_, chunk, size);
    lock.lock();
    if (!ok) digestFailed_ = true;
    ++done_;
    hashed_.notify_one();
  }
}

bool HashedOutput::Finish(unsigned char digest[payload::kSha1Bytes]) {
  if (worker_.joinable() && gathered_ > 0 && !Hand(gathered_)) {
    Stop();
    return false;
  }
  Stop();
  return !digestFailed_ && crypto::Sha1Final(&sha_, digest);
}

void HashedOutput::Stop() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;  // the thread hashes what was handed over, then ends
  }
  handed_.notify_one();
  worker_.join();
}

}  // namespace orx
