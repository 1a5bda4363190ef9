#include "language_table.h"

namespace ostrel {

namespace {
const Language kLanguages[] = {
    {0, u"EN"}, {1, u"IT"}, {2, u"TC"}, {3, u"SC"}, {4, u"FR"}, {5, u"DE"},
    {6, u"ES"}, {7, u"DU"}, {8, u"PT"}, {9, u"SV"}, {10, u"JP"},
};

// A primary language whose sublanguages first..last select one code.
struct SublanguageRange {
  uint16_t primary;
  uint16_t first;
  uint16_t last;
  int code;
};

const SublanguageRange kRanges[] = {
    {0x10, 1, 2, 1},   // Italian: Italy, Switzerland
    {0x0C, 1, 6, 4},   // French
    {0x07, 1, 5, 5},   // German
    {0x0A, 1, 20, 6},  // Spanish: 0x040A .. 0x500A
    {0x13, 1, 2, 7},   // Dutch: Netherlands, Belgium
    {0x16, 1, 2, 8},   // Portuguese: Brazil, Portugal
    {0x1D, 1, 2, 9},   // Swedish: Sweden, Finland
    {0x11, 1, 1, 10},  // Japanese
};

int CodeForLangId(uint16_t langId) {
  // Chinese is split by region, not by sublanguage order: Taiwan and
  // Singapore use the traditional tag, the PRC, Hong Kong and Macao the
  // simplified one.
  switch (langId) {
    case 0x0404:
    case 0x1004:
      return 2;
    case 0x0804:
    case 0x0C04:
    case 0x1404:
      return 3;
    default:
      break;
  }
  uint16_t primary = langId & 0x3FF;
  uint16_t sub = langId >> 10;
  for (const auto& r : kRanges) {
    if (r.primary == primary && sub >= r.first && sub <= r.last) return r.code;
  }
  return 0;
}
}  // namespace

const Language& LanguageForLangId(uint16_t langId) { return kLanguages[CodeForLangId(langId)]; }

}  // namespace ostrel
