#include "report.h"

#include <cstdio>

#include "display_text.h"

namespace orx {

void Report(const std::string& message) { std::fprintf(stderr, "orx: %s\n", DisplayText(message).c_str()); }

}  // namespace orx
