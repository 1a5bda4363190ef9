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
