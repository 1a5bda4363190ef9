// Ports for the host tests: an in-memory locale file and two code pages.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "error_text.h"

namespace mirwell::testing {

struct SingleByteCodePage : AnsiCodePage {
  bool IsLeadByte(unsigned char) const override { return false; }
};

// Shift-JIS lead bytes (code page 932).
struct ShiftJisCodePage : AnsiCodePage {
  bool IsLeadByte(unsigned char b) const override {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
  }
};

struct FixedEnvironment : InstallEnvironment {
  bool hasFolder = true;
  std::string folder = "C:\\Orvanta";
  std::string tag = "EN";
  bool InstallFolder(char* out, size_t size) override {
    if (!hasFolder) return false;
    std::snprintf(out, size, "%s", folder.c_str());
    return true;
  }
  void LanguageTag(char* out, size_t size) override { std::snprintf(out, size, "%s", tag.c_str()); }
};

// One locale file held in memory; cuts values at the byte count as a
// Windows reader may, and records the keys it was asked for.
struct MemoryProfile : ProfileReader {
  std::string path;  // the only file that "exists"; empty: any path
  std::map<std::pair<std::string, std::string>, std::string> values;
  std::vector<std::string> keysRead;
  std::vector<std::string> pathsRead;

  void Set(const std::string& section, const std::string& key, const std::string& value) {
    values[{section, key}] = value;
  }
  size_t Read(const char* file, const char* section, const char* key, const char* defaultValue,
              char* out, size_t size) override {
    keysRead.push_back(key);
    pathsRead.push_back(file);
    std::string value = defaultValue;
    if (path.empty() || path == file) {
      auto it = values.find({section, key});
      if (it != values.end()) value = it->second;
    }
    size_t n = value.size() < size - 1 ? value.size() : size - 1;
    std::memcpy(out, value.data(), n);
    out[n] = '\0';
    return n;
  }
};

}  // namespace mirwell::testing
