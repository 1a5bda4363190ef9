#include "texts.h"

#include <cstddef>

#include "text_pool.h"

namespace orx {
namespace {

using text_pool::kMessageIds;
using text_pool::kPool;
using text_pool::kWideUnits;
using text_pool::kWindowIds;
using text_pool::Widen;

// Exact language ids per language code. Spanish is the one regular run
// (0x040A + n * 0x0400, n = 0..19) and is tested arithmetically below.
struct LangIdRow {
  std::uint16_t id;
  std::uint8_t language;
};
constexpr LangIdRow kLangIds[] = {
    {0x0410, kItalian},           {0x0810, kItalian},
    {0x0404, kChineseTraditional}, {0x1004, kChineseTraditional},
    {0x0804, kChineseSimplified},  {0x0C04, kChineseSimplified},
    {0x1404, kChineseSimplified},
    {0x040C, kFrench}, {0x080C, kFrench}, {0x0C0C, kFrench},
    {0x100C, kFrench}, {0x140C, kFrench}, {0x180C, kFrench},
    {0x0407, kGerman}, {0x0807, kGerman}, {0x0C07, kGerman},
    {0x1007, kGerman}, {0x1407, kGerman},
    {0x0413, kDutch},      {0x0813, kDutch},
    {0x0416, kPortuguese}, {0x0816, kPortuguese},
    {0x041D, kSwedish},    {0x081D, kSwedish},
};

std::uint16_t IdFromTable(const std::uint8_t (*table)[kSlotsPerTable], int language, int slot) {
  if (language < 0 || language >= kLanguageCount || slot < 0 || slot >= kSlotsPerTable) return 0;
  return table[language][slot];
}

}  // namespace

int LanguageForLangId(std::uint16_t langId) {
  if ((langId & 0x3FF) == 0x00A) {  // Spanish, sublanguages 1 to 20
    unsigned sub = langId >> 10;
    return sub >= 1 && sub <= 20 ? kSpanish : kEnglish;
  }
  for (const LangIdRow& row : kLangIds) {
    if (row.id == langId) return row.language;
  }
  return kEnglish;
}

std::uint16_t WindowTextId(int language, int slot) { return IdFromTable(kWindowIds, language, slot); }
std::uint16_t MessageTextId(int language, int slot) {
  if (slot == kTextNotMarked) {
    return language >= 0 && language < kLanguageCount ? 101 + language : 0;
  }
  return IdFromTable(kMessageIds, language, slot);
}

const char16_t* TextById(int id) {
  if (id < 1 || id > kTextIdCount) return u"";
  // The pool in UTF-16, made on the first request and kept: every text
  // handed out stays valid. Zero-filled until then (no start-up code).
  static char16_t wide[kWideUnits];
  if (!wide[0]) Widen(kPool, sizeof kPool, wide);
  const char16_t* p = wide;
  while (--id > 0) {
    while (*p) ++p;
    ++p;
  }
  return p;
}

const char16_t* WindowText(int language, int slot) { return TextById(WindowTextId(language, slot)); }
const char16_t* MessageText(int language, int slot) { return TextById(MessageTextId(language, slot)); }

}  // namespace orx
