// Strict conversions between UTF-8 and UTF-16: malformed input (bad bytes,
// overlong forms, unpaired surrogates) makes them fail rather than guess.
#pragma once

#include <string>

namespace orx {

bool Utf8ToUtf16(const std::string& in, std::u16string& out);
bool Utf16ToUtf8(const std::u16string& in, std::string& out);

// The length of the well-formed UTF-8 sequence at `i` (1 to 4) with its
// code point in `cp`, or 0 when the bytes there are not one (bad, overlong,
// cut short, a surrogate or beyond U+10FFFF).
size_t DecodeUtf8(const std::string& s, size_t i, char32_t& cp);
// The same over `size` bytes at `s`, for text held outside a string.
size_t DecodeUtf8(const char* s, size_t size, size_t i, char32_t& cp);

// Appends one code point (below 0x110000, not a surrogate) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);
// Writes one code point (the same) as UTF-16 at `out`: 1 or 2 units,
// the number returned.
size_t AppendUtf16(char16_t* out, char32_t cp);

}  // namespace orx
