#include "display_text.h"

#include <cstdio>

#include "utf.h"

namespace orx {

namespace {

bool MustEscape(char32_t cp) {
  return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0x061C || cp == 0x200E ||
         cp == 0x200F || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
}

void AppendEscape(std::string& out, char32_t value) {
  char buffer[12];
  if (value < 0x80) {
    std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(value));
  } else {
    std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(value));
  }
  out += buffer;
}

void AppendCodePoint(std::string& out, char32_t cp) {
  if (MustEscape(cp)) {
    AppendEscape(out, cp);
  } else {
    AppendUtf8(out, cp);
  }
}

// The length of the well-formed UTF-8 sequence at `i` and its code point, or
// 0 when the bytes there are not one.
size_t DecodeUtf8(const std::string& s, size_t i, char32_t& cp) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  unsigned char b = byte(i);
  size_t extra;
  char32_t minimum;
  if (b < 0x80) {
    cp = b;
    return 1;
  } else if ((b & 0xE0) == 0xC0) {
    cp = b & 0x1F, extra = 1, minimum = 0x80;
  } else if ((b & 0xF0) == 0xE0) {
    cp = b & 0x0F, extra = 2, minimum = 0x800;
  } else if ((b & 0xF8) == 0xF0) {
    cp = b & 0x07, extra = 3, minimum = 0x10000;
  } else {
    return 0;
  }
  if (s.size() - i <= extra) return 0;
  for (size_t k = 1; k <= extra; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return extra + 1;
}

}  // namespace

std::string DisplayText(const std::string& utf8) {
  std::string out;
  for (size_t i = 0; i < utf8.size();) {
    char32_t cp = 0;
    size_t n = DecodeUtf8(utf8, i, cp);
    if (n == 0) {
      AppendEscape(out, static_cast<unsigned char>(utf8[i]));
      ++i;
    } else {
      AppendCodePoint(out, cp);
      i += n;
    }
  }
  return out;
}

std::string DisplayText(const char16_t* units, std::size_t count) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    char32_t cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      AppendEscape(out, cp);  // an unpaired surrogate
      continue;
    }
    AppendCodePoint(out, cp);
  }
  return out;
}

}  // namespace orx
