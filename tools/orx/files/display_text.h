// Text from a payload (or any text orx prints) made safe for a terminal.
//
// A stored name is chosen by whoever made the payload: it may hold control
// characters that move the cursor or set the window title (ESC, CSI, BEL...),
// or bidirectional controls that make "exe.txt" read as "txt.exe". These are
// shown as escapes instead: \xHH for C0 controls, DEL and bytes that are not
// UTF-8, \uHHHH for C1 controls (U+0080-U+009F), the bidirectional marks,
// embeddings, overrides and isolates (U+061C, U+200E, U+200F, U+202A-U+202E,
// U+2066-U+2069) and UTF-16 units that are unpaired surrogates. Everything
// else passes unchanged, as UTF-8.
#pragma once

#include <cstddef>
#include <string>

namespace orx {

std::string DisplayText(const std::string& utf8);
std::string DisplayText(const char16_t* units, std::size_t count);

}  // namespace orx
