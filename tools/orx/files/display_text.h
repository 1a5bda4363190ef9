// Text from a payload (or any text orx prints) made safe for a terminal.
//
// A stored name is chosen by whoever made the payload: it may hold control
// characters that move the cursor or set the window title (ESC, CSI, BEL...),
// bidirectional controls that make "exe.txt" read as "txt.exe", or invisible
// characters that make one name look like another. These are shown as
// escapes instead: \xHH for C0 controls, DEL and bytes that are not UTF-8,
// \uHHHH (\UHHHHHHHH above U+FFFF) for every other code point the stored-name
// rule refuses (payload::kNameCharTable: C1 controls, bidirectional
// formatting characters, zero-width and other invisible characters, line
// separators) and for UTF-16 units that are unpaired surrogates. Everything
// else passes unchanged, as UTF-8.
#pragma once

#include <cstddef>
#include <string>

namespace orx {

std::string DisplayText(const std::string& utf8);
std::string DisplayText(const char16_t* units, std::size_t count);

}  // namespace orx
