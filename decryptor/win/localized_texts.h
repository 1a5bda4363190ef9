// The decryptor's language and texts as the Windows side uses them.
#pragma once

#include <windows.h>

namespace orx {

// The text of a window slot / message slot (see texts.h) for a language
// code; an empty text when either is out of range. Never null.
const wchar_t* WindowTextW(int language, int slot);
const wchar_t* MessageTextW(int language, int slot);

}  // namespace orx
