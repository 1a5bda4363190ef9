// The decryptor's language choice and its built-in texts.
//
// The decryptor speaks one of ten languages, chosen from the 16-bit Windows
// system language id. Every text has a numeric string id from 1 to 100; two
// tables give, per language code, the id of each window slot and of each
// message slot. The texts are handed out as UTF-16 and are independent of
// any user setting.
#pragma once

#include <cstdint>

namespace orx {

// Language codes, in the product's numbering (no Japanese here).
enum Language : int {
  kEnglish = 0,
  kItalian = 1,
  kChineseTraditional = 2,
  kChineseSimplified = 3,
  kFrench = 4,
  kGerman = 5,
  kSpanish = 6,
  kDutch = 7,
  kPortuguese = 8,
  kSwedish = 9,
  kLanguageCount = 10,
};

// Slots of the password window, in window-table order.
enum WindowSlot : int {
  kTextTitle = 0,
  kTextPrompt = 1,
  kTextNote = 2,
  kTextOk = 3,
  kTextCancel = 4,
};

// Message slots, in message-table order; the number the message helper takes.
enum MessageSlot : int {
  kTextWrongPassword = 0,
  kTextFailure = 1,
  kTextOsError = 2,
  kTextOverwrite = 3,
  kTextDecrypted = 4,  // begins with a blank: shown right after a file name
  // Added after the tables: the file asked to be opened cannot carry the
  // archive's zone information, so its folder is shown instead. Its ids
  // follow the tables', one per language code in code order (101 to 110).
  kTextNotMarked = 5,
};

constexpr int kSlotsPerTable = 5;
constexpr int kTextIdCount = 110;

// The language code for a system language id. Only the exact ids of the
// table select a language (primary language and sublanguage together);
// every other id, neutral ids and Japanese included, gives English.
int LanguageForLangId(std::uint16_t langId);

// The string id of a slot for a language code; 0 when either is out of range.
std::uint16_t WindowTextId(int language, int slot);
std::uint16_t MessageTextId(int language, int slot);

// The text of a string id (1 to kTextIdCount), zero-terminated UTF-16; an empty text
// for any other id. Never null, and valid for the program's life. The first
// call makes the UTF-16 texts (the program keeps them in UTF-8): make it
// before a second thread may ask.
const char16_t* TextById(int id);

// Shorthands: the text of a slot for a language code (empty when out of range).
const char16_t* WindowText(int language, int slot);
const char16_t* MessageText(int language, int slot);

// WindowText(language, kTextCancel) without the pool: made while compiling,
// for a program that shows this label alone (cancel_label.cpp).
const char16_t* CancelLabel(int language);

}  // namespace orx
