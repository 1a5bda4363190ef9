#include "ansi_text.h"

#include <cstring>

namespace mirwell {

size_t WholeCharacterPrefix(const char* text, size_t length, size_t limit,
                            const AnsiCodePage& codePage) {
  if (length <= limit) return length;
  size_t end = 0;
  while (end < limit) {
    size_t width = codePage.IsLeadByte(static_cast<unsigned char>(text[end])) ? 2 : 1;
    if (end + width > limit) break;
    end += width;
  }
  return end;
}

size_t DropDanglingLeadByte(char* text, const AnsiCodePage& codePage) {
  size_t i = 0;
  while (text[i] != '\0') {
    if (codePage.IsLeadByte(static_cast<unsigned char>(text[i]))) {
      if (text[i + 1] == '\0') {
        text[i] = '\0';
        break;
      }
      i += 2;
    } else {
      i += 1;
    }
  }
  return i;
}

AnsiTextBuilder::AnsiTextBuilder(char* buffer, size_t size, const AnsiCodePage& codePage)
    : buffer_(buffer), size_(size), codePage_(codePage) {
  buffer_[0] = '\0';
}

void AnsiTextBuilder::Append(const char* text) { Append(text, std::strlen(text)); }

void AnsiTextBuilder::Append(const char* text, size_t length) {
  if (cut_) return;
  size_t room = size_ - 1 - length_;
  size_t take = WholeCharacterPrefix(text, length, room, codePage_);
  if (take < length) cut_ = true;
  std::memcpy(buffer_ + length_, text, take);
  length_ += take;
  buffer_[length_] = '\0';
}

}  // namespace mirwell
