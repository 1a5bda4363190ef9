#include "report.h"

#include <cstdio>

namespace orx {

void Report(const std::string& message) { std::fprintf(stderr, "orx: %s\n", message.c_str()); }

}  // namespace orx
