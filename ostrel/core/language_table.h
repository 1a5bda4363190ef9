// The product's eleven interface languages, chosen from a Windows language id.
#pragma once

#include <cstdint>

namespace ostrel {

struct Language {
  int code;            // 0 to 10
  char16_t tag[3];     // two upper-case letters and a null
};

// Exact match of the whole 16-bit id (primary language and sublanguage);
// every id the table does not list, neutral ids included, gives code 0 "EN".
const Language& LanguageForLangId(uint16_t langId);

}  // namespace ostrel
