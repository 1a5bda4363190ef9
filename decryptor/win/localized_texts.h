// The decryptor's language and texts as the Windows side uses them.
#pragma once

#include <windows.h>

namespace orx {

// The language code (0 to 9) for the system default language id, read anew
// on every call; any id without texts gives English (0). Cannot fail.
int SelectLanguage();

// Where SelectLanguage reads the system default language id. Wine takes the
// system's and the user's id from one locale, so only a test that points
// this elsewhere can show that the user's is not the one read. Null (the
// start) means GetSystemDefaultLangID.
extern LANGID(WINAPI* g_systemLangId)();

// The text of a window slot / message slot (see texts.h) for a language
// code; an empty text when either is out of range. Never null.
const wchar_t* WindowTextW(int language, int slot);
const wchar_t* MessageTextW(int language, int slot);

}  // namespace orx
