// Fixed-size ANSI text buffers that are never overrun and never end in half
// of a double-byte character.
#pragma once

#include <cstddef>

namespace mirwell {

// The system's ANSI code page, as far as cutting text needs it.
class AnsiCodePage {
 public:
  virtual ~AnsiCodePage() = default;
  // True when `byte` starts a two-byte character (it and the byte after it
  // form one character). Always false in single-byte code pages.
  virtual bool IsLeadByte(unsigned char byte) const = 0;
};

// The length of the longest prefix of `text` (`length` bytes) that is at
// most `limit` bytes long and ends on a character boundary. Characters are
// counted from the start of `text`, which must start on a boundary.
size_t WholeCharacterPrefix(const char* text, size_t length, size_t limit,
                            const AnsiCodePage& codePage);

// Drops a lead byte left without its trail byte at the end of the
// NUL-terminated `text` (what a reader that cuts at a byte count may leave).
// Returns the new length.
size_t DropDanglingLeadByte(char* text, const AnsiCodePage& codePage);

// Builds a NUL-terminated text in a caller's buffer of `size` bytes (at
// least 1) by appending pieces. A piece that does not fit is cut at the
// buffer's end on a whole character, and every later piece is dropped, so
// the buffer always holds a prefix of the full text that ends on a
// character boundary.
class AnsiTextBuilder {
 public:
  AnsiTextBuilder(char* buffer, size_t size, const AnsiCodePage& codePage);
  void Append(const char* text);
  void Append(const char* text, size_t length);
  size_t length() const { return length_; }
  bool cut() const { return cut_; }

 private:
  char* buffer_;
  size_t size_;
  const AnsiCodePage& codePage_;
  size_t length_ = 0;
  bool cut_ = false;
};

}  // namespace mirwell
