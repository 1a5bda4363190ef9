#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "expectations.h"

namespace ostrel::wine {
LocaleExpectations& Expected() {
  static LocaleExpectations expected;
  return expected;
}
}  // namespace ostrel::wine

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  auto& e = ostrel::wine::Expected();
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](const char* name) -> const char* {
      std::size_t n = std::strlen(name);
      return arg.compare(0, n, name) == 0 ? argv[i] + n : nullptr;
    };
    if (const char* v = value("--lang-code=")) {
      e.langCode = std::atoi(v);
    } else if (const char* v = value("--lang-tag=")) {
      e.langTag = v;
    } else if (const char* v = value("--acp=")) {
      e.acp = static_cast<unsigned>(std::atoi(v));
    } else if (const char* v = value("--msn-version=")) {
      e.messengerVersion.assign(v, v + std::strlen(v));
    } else {
      std::fprintf(stderr, "unknown argument %s\n", argv[i]);
      return 2;
    }
  }
  return RUN_ALL_TESTS();
}
