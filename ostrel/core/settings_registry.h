// Port: the machine's registry (HKEY_LOCAL_MACHINE), as the settings need it.
#pragma once

#include <cstdint>

namespace ostrel {

enum class RegistryKeyName {
  kSettings,   // SOFTWARE\Tavrel\Orvanta
  kMessenger,  // SOFTWARE\Microsoft\MSNMessenger
};

enum class KeyAccess { kQueryValue, kSetValue };

// Every call returns the Windows error number the registry reported, 0 on
// success; none of them touches the thread's last error.
class SettingsRegistry {
 public:
  using Key = void*;
  virtual ~SettingsRegistry() = default;
  // Opens an existing key (never creates one); *key is set only on success.
  virtual uint32_t Open(RegistryKeyName name, KeyAccess access, Key* key) = 0;
  // Reads a value's data without asking its type. *bytes is the capacity of
  // `data` on entry; on 0 and on ERROR_MORE_DATA it is the stored size.
  // `data` may be partly written on failure and is never null.
  virtual uint32_t Query(Key key, const char16_t* name, void* data, uint32_t* bytes) = 0;
  // Stores `bytes` bytes of `text` as REG_SZ.
  virtual uint32_t SetText(Key key, const char16_t* name, const char16_t* text,
                           uint32_t bytes) = 0;
  virtual void Close(Key key) = 0;
};

// Closes an opened key on every path.
class OpenedKey {
 public:
  explicit OpenedKey(SettingsRegistry& registry) : registry_(registry) {}
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  ~OpenedKey() { Close(); }
  uint32_t Open(RegistryKeyName name, KeyAccess access) {
    Close();
    return registry_.Open(name, access, &key_);
  }
  SettingsRegistry::Key get() const { return key_; }
  void Close() {
    if (key_ != nullptr) registry_.Close(key_);
    key_ = nullptr;
  }

 private:
  SettingsRegistry& registry_;
  SettingsRegistry::Key key_ = nullptr;
};

}  // namespace ostrel
