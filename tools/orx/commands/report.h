// Messages to the user: one line on standard error per failure.
#pragma once

#include <string>

namespace orx {

// "orx: <message>" on standard error. Control and bidirectional characters
// in the message are shown escaped (see DisplayText), so that a name taken
// from a payload cannot drive the terminal.
void Report(const std::string& message);

}  // namespace orx
