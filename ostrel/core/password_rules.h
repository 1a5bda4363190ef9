// Format rules of a password: 4 to 12 characters of a 71-character alphabet.
#pragma once

#include "ansi_code_page.h"

namespace ostrel {

// True for the letters, digits and the nine marks , - . / ; = [ \ ].
bool InPasswordAlphabet(unsigned char c);

// Returns 0 or ZT_ERR_PASSWORD_*: length first (3101 below 4 bytes, 3102
// above 12), then the first offending byte decides (3103 for 0x80 and above,
// 3104 for a byte outside the alphabet). A null pointer counts as the empty
// text.
int ValidatePasswordAnsi(const char* password);

// Length is judged in UTF-16 units; the characters as the ANSI code page
// renders them (at most the first 12 bytes): an accented letter of a
// single-byte code page or a double-byte character gives 3103, a character
// without a mapping becomes the default character and gives 3104.
int ValidatePasswordWide(const char16_t* password, AnsiCodePage& codePage);

}  // namespace ostrel
