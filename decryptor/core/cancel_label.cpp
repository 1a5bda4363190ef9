// The Cancel label of each language, taken from the pool and widened while
// compiling, so that a program showing no other of the texts (the archive
// stub's progress window) carries these few bytes and not the pool. Kept in
// a file of its own: the decryptor, which shows every text, links nothing
// of it.
#include <cstddef>
#include <cstdint>

#include "text_pool.h"
#include "texts.h"

namespace orx {
namespace {

using text_pool::kPool;
using text_pool::kWindowIds;
using text_pool::PoolBytes;
using text_pool::PoolOffset;
using text_pool::WideUnits;

// UTF-16 units of every language's label, each with its zero.
constexpr std::size_t LabelUnits() {
  std::size_t units = 0;
  for (const auto& ids : kWindowIds) {
    std::size_t at = PoolOffset(ids[kTextCancel]);
    units += WideUnits(kPool + at, PoolBytes(at)) + 1;
  }
  return units;
}

struct CancelLabels {
  char16_t units[LabelUnits()];
  std::uint8_t start[kLanguageCount];  // where each language's label begins
};

constexpr CancelLabels MakeCancelLabels() {
  CancelLabels labels = {};
  std::size_t next = 0;
  for (int language = 0; language < kLanguageCount; ++language) {
    std::size_t at = PoolOffset(kWindowIds[language][kTextCancel]);
    std::size_t bytes = PoolBytes(at);
    labels.start[language] = static_cast<std::uint8_t>(next);
    text_pool::Widen(kPool + at, bytes, labels.units + next);
    next += WideUnits(kPool + at, bytes) + 1;  // the zero is there already
  }
  return labels;
}

constexpr CancelLabels kCancelLabels = MakeCancelLabels();
static_assert(sizeof kCancelLabels.units / sizeof(char16_t) < 256, "starts fit in a byte");

}  // namespace

const char16_t* CancelLabel(int language) {
  if (language < 0 || language >= kLanguageCount) return u"";
  return kCancelLabels.units + kCancelLabels.start[language];
}

}  // namespace orx
