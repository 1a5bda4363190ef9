// Port: the two default language ids of Windows. The interface language
// follows the system's, the messenger's version text the user's. Wine takes
// both from the one locale of its process, so only a test behind this port
// can give them different values.
#pragma once

#include <cstdint>

namespace ostrel {

class LanguageIds {
 public:
  virtual ~LanguageIds() = default;
  virtual uint16_t SystemDefault() = 0;  // GetSystemDefaultLangID
  virtual uint16_t UserDefault() = 0;    // GetUserDefaultLangID
};

}  // namespace ostrel
