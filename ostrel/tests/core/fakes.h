// Fakes behind the ports, for the cases a real registry or code page under
// Wine cannot produce (access denied, a failing conversion, a broken
// version resource) and for fast checks of every rule.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "core/ansi_code_page.h"
#include "core/language_ids.h"
#include "core/settings_registry.h"
#include "core/settings_store.h"
#include "core/status.h"
#include "core/version_resources.h"

namespace ostrel::test {

// The registry's text data of a string, with its terminating null.
inline std::vector<uint8_t> TextData(const std::u16string& text, bool withNull = true) {
  std::vector<uint8_t> data((text.size() + (withNull ? 1 : 0)) * 2, 0);
  std::memcpy(data.data(), text.data(), text.size() * 2);
  return data;
}

class FakeRegistry : public SettingsRegistry {
 public:
  struct KeyState {
    bool exists = false;
    uint32_t openQueryError = 0;
    uint32_t openSetError = 0;
    uint32_t queryError = 0;  // returned by every query instead of the data
    uint32_t setError = 0;
    std::map<std::u16string, std::vector<uint8_t>> values;
  };

  static KeyState Existing() {
    KeyState state;
    state.exists = true;
    return state;
  }

  KeyState settings = Existing();
  KeyState messenger;
  int opened = 0;
  int closed = 0;
  std::vector<std::u16string> stores;  // value names in the order stored

  void Put(const std::u16string& name, const std::u16string& text) {
    settings.values[name] = TextData(text);
  }
  bool Has(const std::u16string& name) const { return settings.values.count(name) != 0; }
  std::u16string Text(const std::u16string& name) const {
    const auto& data = settings.values.at(name);
    std::u16string text(data.size() / 2, u'\0');
    std::memcpy(&text[0], data.data(), text.size() * 2);
    while (!text.empty() && text.back() == 0) text.pop_back();
    return text;
  }

  uint32_t Open(RegistryKeyName name, KeyAccess access, Key* key) override {
    KeyState& state = StateOf(name);
    if (!state.exists) return winerr::kFileNotFound;
    uint32_t error = access == KeyAccess::kSetValue ? state.openSetError : state.openQueryError;
    if (error) return error;
    ++opened;
    *key = &state;
    return 0;
  }
  uint32_t Query(Key key, const char16_t* name, void* data, uint32_t* bytes) override {
    auto& state = *static_cast<KeyState*>(key);
    if (state.queryError) return state.queryError;
    auto it = state.values.find(name);
    if (it == state.values.end()) return winerr::kFileNotFound;
    uint32_t stored = static_cast<uint32_t>(it->second.size());
    uint32_t capacity = *bytes;
    *bytes = stored;
    if (stored > capacity) return winerr::kMoreData;
    std::memcpy(data, it->second.data(), stored);
    return 0;
  }
  uint32_t SetText(Key key, const char16_t* name, const char16_t* text, uint32_t bytes) override {
    auto& state = *static_cast<KeyState*>(key);
    if (state.setError) return state.setError;
    const auto* p = reinterpret_cast<const uint8_t*>(text);
    state.values[name].assign(p, p + bytes);
    stores.push_back(name);
    return 0;
  }
  void Close(Key) override { ++closed; }

 private:
  KeyState& StateOf(RegistryKeyName name) {
    return name == RegistryKeyName::kSettings ? settings : messenger;
  }
};

// A code page like 1252 for the first 256 characters (one byte each, no
// mapping above); in double-byte mode the CJK characters U+3000 and above
// take two bytes, lead byte 0x93. FromAnsi rejects the byte 0x81 as invalid.
class FakeCodePage : public AnsiCodePage {
 public:
  bool doubleByte = false;
  uint32_t failToAnsiWith = 0;  // makes every ToAnsi fail with this error

  int ToAnsi(const char16_t* text, int chars, char* out, int outBytes, uint32_t* error) override {
    if (failToAnsiWith) {
      *error = failToAnsiWith;
      return 0;
    }
    std::string bytes;
    std::size_t n = chars < 0 ? std::char_traits<char16_t>::length(text) + 1 : chars;
    for (std::size_t i = 0; i < n; ++i) {
      char16_t c = text[i];
      if (c < 0x100) {
        bytes += static_cast<char>(c);
      } else if (doubleByte && c >= 0x3000) {
        bytes += static_cast<char>(0x93);
        bytes += static_cast<char>(0x40 + (c & 0x3F));
      } else {
        bytes += '?';
      }
    }
    if (outBytes <= 0 || bytes.size() > static_cast<std::size_t>(outBytes)) {
      *error = winerr::kInsufficientBuffer;
      return 0;
    }
    std::memcpy(out, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
  }
  int FromAnsi(const char* text, int bytes, char16_t* out, int outChars, uint32_t* error) override {
    std::size_t n = bytes < 0 ? std::strlen(text) + 1 : bytes;
    for (std::size_t i = 0; i < n; ++i) {
      if (static_cast<unsigned char>(text[i]) == 0x81) {
        *error = winerr::kNoUnicodeTranslation;
        return 0;
      }
    }
    if (outChars <= 0 || n > static_cast<std::size_t>(outChars)) {
      *error = winerr::kInsufficientBuffer;
      return 0;
    }
    for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<unsigned char>(text[i]);
    return static_cast<int>(n);
  }
};

// One program file's version resource: its translation array and texts by
// query path.
class FakeVersions : public VersionResources {
 public:
  uint32_t sizeError = 0;  // InfoSize fails with it when set
  uint32_t readError = 0;  // ReadInfo fails with it when set
  std::vector<uint16_t> translation;  // language id, code page, ...
  bool hasTranslation = true;
  std::map<std::u16string, std::u16string> texts;
  std::u16string lastPath;
  int blocksRead = 0;

  uint32_t InfoSize(const char16_t* path, uint32_t* error) override {
    lastPath = path;
    if (sizeError) {
      *error = sizeError;
      return 0;
    }
    return 64;
  }
  bool ReadInfo(const char16_t*, uint32_t size, void* block, uint32_t* error) override {
    if (readError) {
      *error = readError;
      return false;
    }
    std::memset(block, 0xCD, size);
    ++blocksRead;
    return true;
  }
  bool Query(const void*, const char16_t* subBlock, const void** value, uint32_t* length) override {
    std::u16string path = subBlock;
    if (path == u"\\VarFileInfo\\Translation") {
      if (!hasTranslation) return false;
      *value = translation.data();
      *length = static_cast<uint32_t>(translation.size() * 2);
      return true;
    }
    auto it = texts.find(path);
    if (it == texts.end()) return false;
    *value = it->second.c_str();
    *length = static_cast<uint32_t>(it->second.size() + 1);
    return true;
  }
};

class FakeLanguageIds : public LanguageIds {
 public:
  uint16_t system = 0x0409;
  uint16_t user = 0x0409;
  uint16_t SystemDefault() override { return system; }
  uint16_t UserDefault() override { return user; }
};

struct FakePorts {
  FakeRegistry registry;
  FakeVersions versions;
  FakeCodePage codePage;
  FakeLanguageIds languageIds;
  SettingsPorts ports{registry, versions, codePage, languageIds};
};

}  // namespace ostrel::test
