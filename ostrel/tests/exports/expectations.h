// What the locale this test program runs under should give; set from the
// command line (--lang-code=5 --lang-tag=DE --acp=1252 --msn-version=...).
#pragma once

#include <string>

namespace ostrel::wine {

struct LocaleExpectations {
  int langCode = 0;
  std::string langTag = "EN";
  unsigned acp = 1252;
  std::wstring messengerVersion = L"8.5.1302.1018";
};

LocaleExpectations& Expected();

}  // namespace ostrel::wine
