// Arithmetic of a left-to-right colour gradient drawn as vertical bands.
//
// Pure integer arithmetic, so that the look of a gradient label can be
// checked without a screen. Colours are COLORREF-style 0x00BBGGRR values.
#pragma once

#include <cstdint>

namespace orx {

// Fixed-point walk over the bands of one gradient: each channel starts at
// from * 256 and moves by ((to - from) * 256) / n per band, truncated toward
// zero, so the last band stops short of `to` by the truncation.
class GradientBands {
 public:
  // left/right: the horizontal extent; requested: bands wanted. The count is
  // at most the width, and a width of 0 (or less) gives no bands at all.
  GradientBands(int left, int right, std::uint32_t from, std::uint32_t to, int requested);

  int count() const { return count_; }
  // Band i (0 <= i < count()) spans [BandLeft(i), BandRight(i)); the last
  // band takes whatever the integer band width leaves over.
  int BandLeft(int i) const { return left_ + i * width_; }
  int BandRight(int i) const { return i == count_ - 1 ? right_ : left_ + (i + 1) * width_; }
  std::uint32_t BandColor(int i) const;

 private:
  int left_, right_, count_ = 0, width_ = 0;
  int start_[3] = {}, step_[3] = {};
};

}  // namespace orx
