#include "hashed_output.h"

#include <system_error>

namespace orx {

DigestThread::~DigestThread() {
  Stop();
  crypto::Sha1Release(&sha_);
}

bool DigestThread::Start() {
  if (!crypto::Sha1Init(&sha_)) return false;
  try {
    worker_ = std::thread(&DigestThread::Run, this);
  } catch (const std::system_error&) {
    crypto::Sha1Release(&sha_);
    return false;
  }
  return true;
}

void DigestThread::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    queued_.wait(lock, [this] { return done_ < posted_ || stop_; });
    if (done_ == posted_) return;  // stopped with nothing left
    Chunk chunk = chunks_[done_ % 2];
    bool skip = failed_;
    lock.unlock();
    // Only the worker touches the state until it has ended.
    bool ok = skip || crypto::Sha1Update(&sha_, chunk.data, chunk.size);
    lock.lock();
    if (!ok) failed_ = true;
    ++done_;
    hashed_.notify_one();
  }
}

bool DigestThread::Update(void* context, const unsigned char* data, size_t size) {
  auto* self = static_cast<DigestThread*>(context);
  std::unique_lock<std::mutex> lock(self->mutex_);
  if (self->stop_) return false;
  const std::uint64_t n = self->posted_;
  self->chunks_[n % 2] = Chunk{data, size};
  self->posted_ = n + 1;
  self->queued_.notify_one();
  // Chunk n - 1's buffer is the next one the core fills.
  self->hashed_.wait(lock, [self, n] { return self->done_ >= n; });
  return !self->failed_;
}

bool DigestThread::Final(void* context, unsigned char digest[payload::kSha1Bytes]) {
  auto* self = static_cast<DigestThread*>(context);
  self->Stop();
  // The worker has ended: the state is this thread's now.
  return !self->failed_ && self->sha_.handle && crypto::Sha1Final(&self->sha_, digest);
}

void DigestThread::Stop() {
  if (!worker_.joinable()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;  // the worker hashes what was handed over, then ends
  }
  queued_.notify_one();
  worker_.join();
}

}  // namespace orx
