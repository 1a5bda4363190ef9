#include "display_text.h"

#include <cstdio>

#include "payload/payload_header.h"
#include "utf.h"

namespace orx {

namespace {

// What the stored-name rule refuses for being unseen or misleading is what a
// terminal must not be given raw either.
bool MustEscape(char32_t cp) {
  return payload::ClassifyNameChar(cp) == payload::NameCharKind::kRefused;
}

void AppendEscape(std::string& out, char32_t value) {
  char buffer[12];
  if (value < 0x80) {
    std::snprintf(buffer, sizeof buffer, "\\x%02X", static_cast<unsigned>(value));
  } else if (value <= 0xFFFF) {
    std::snprintf(buffer, sizeof buffer, "\\u%04X", static_cast<unsigned>(value));
  } else {
    std::snprintf(buffer, sizeof buffer, "\\U%08X", static_cast<unsigned>(value));
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
      // A byte, not a code point: \xHH whatever its value.
      char byte[8];
      std::snprintf(byte, sizeof byte, "\\x%02X", static_cast<unsigned char>(utf8[i]));
      out += byte;
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
