// The product's eleven interface languages, chosen from a Windows language id.
#pragma once

#include <cstdint>

#include "language_ids.h"

namespace ostrel {

struct Language {
  int code;            // 0 to 10
  char16_t tag[3];     // two upper-case letters and a null
};

// Exact match of the whole 16-bit id (primary language and sublanguage);
// every id the table does not list, neutral ids included, gives code 0 "EN".
const Language& LanguageForLangId(uint16_t langId);

// The interface language: the row of the system default language id, not
// the user's, asked anew on every call.
inline const Language& CurrentLanguage(LanguageIds& ids) {
  return LanguageForLangId(ids.SystemDefault());
}

}  // namespace ostrel
