#include "localized_texts.h"

#include "texts.h"

namespace orx {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "the texts are UTF-16 as Windows takes them");

const wchar_t* WindowTextW(int language, int slot) {
  return reinterpret_cast<const wchar_t*>(WindowText(language, slot));
}

const wchar_t* MessageTextW(int language, int slot) {
  return reinterpret_cast<const wchar_t*>(MessageText(language, slot));
}

}  // namespace orx
