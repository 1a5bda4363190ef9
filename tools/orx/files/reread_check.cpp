#include "reread_check.h"

#include <cerrno>
#include <cstring>
#include <new>

#include "payload/crypto_port.h"

namespace orx {

RereadCheck::RereadCheck(payload::PayloadStream* source) : source_(source) {
  first_.context = this;
  first_.read = FirstRead;
  second_.context = this;
  second_.read = SecondRead;
}

RereadCheck::~RereadCheck() {
  if (macOpen_) crypto::HmacSha256Release(&mac_);
}

bool RereadCheck::Start() { return crypto::RandomBytes(key_.value, sizeof key_.value); }

int RereadCheck::FirstRead(void* context, void* buffer, std::size_t size, std::size_t* got) {
  auto* self = static_cast<RereadCheck*>(context);
  int error = self->source_->read(self->source_->context, buffer, size, got);
  self->Record(static_cast<const unsigned char*>(buffer), *got);
  return error;
}

void RereadCheck::Record(const unsigned char* data, std::size_t size) {
  while (size > 0 && !failed_) {
    if (!macOpen_) {
      macOpen_ = crypto::HmacSha256Init(&mac_, key_.value, sizeof key_.value);
      if (!macOpen_) {
        failed_ = true;
        return;
      }
    }
    std::size_t take = kChunkBytes - inChunk_ < size ? kChunkBytes - inChunk_ : size;
    if (!crypto::HmacSha256Update(&mac_, data, take)) failed_ = true;
    inChunk_ += take;
    data += take;
    size -= take;
    if (inChunk_ == kChunkBytes && !CloseChunk()) failed_ = true;
  }
}

bool RereadCheck::CloseChunk() {
  std::vector<unsigned char> print(crypto::kSha256Bytes);
  bool ok = crypto::HmacSha256Final(&mac_, print.data());
  crypto::HmacSha256Release(&mac_);
  macOpen_ = false;
  prints_.push_back(print);
  sizes_.push_back(inChunk_);
  inChunk_ = 0;
  return ok;
}

bool RereadCheck::StartSecondPass() {
  if (macOpen_ && !CloseChunk()) failed_ = true;
  chunk_.reset(new (std::nothrow) unsigned char[kChunkBytes]);
  next_ = at_ = end_ = 0;
  return chunk_ && !failed_;
}

bool RereadCheck::FillChunk() {
  at_ = end_ = 0;
  if (next_ >= prints_.size()) return true;  // past what the first pass read: the end
  const std::size_t want = sizes_[next_];
  std::size_t got = 0;
  if (source_->read(source_->context, chunk_.get(), want, &got) != 0 || got != want) {
    changed_ = true;
    return false;
  }
  unsigned char print[crypto::kSha256Bytes];
  crypto::HmacSha256 mac = {};
  bool ok = crypto::HmacSha256Init(&mac, key_.value, sizeof key_.value) &&
            crypto::HmacSha256Update(&mac, chunk_.get(), want) &&
            crypto::HmacSha256Final(&mac, print);
  crypto::HmacSha256Release(&mac);
  if (!ok || std::memcmp(print, prints_[next_].data(), sizeof print) != 0) {
    changed_ = ok;
    return false;
  }
  ++next_;
  end_ = want;
  return true;
}

int RereadCheck::SecondRead(void* context, void* buffer, std::size_t size, std::size_t* got) {
  auto* self = static_cast<RereadCheck*>(context);
  auto* out = static_cast<unsigned char*>(buffer);
  *got = 0;
  while (*got < size) {
    if (self->at_ == self->end_) {
      if (!self->FillChunk()) return EIO;
      if (self->end_ == 0) break;  // the end
    }
    std::size_t take = self->end_ - self->at_;
    if (take > size - *got) take = size - *got;
    std::memcpy(out + *got, self->chunk_.get() + self->at_, take);
    self->at_ += take;
    *got += take;
  }
  return 0;
}

}  // namespace orx
