#include "gradient_bands.h"

namespace orx {

GradientBands::GradientBands(int left, int right, std::uint32_t from, std::uint32_t to,
                             int requested)
    : left_(left), right_(right) {
  int width = right - left;
  count_ = requested < width ? requested : width;
  if (count_ <= 0) {
    count_ = 0;
    return;
  }
  width_ = width / count_;
  for (int c = 0; c < 3; ++c) {
    int a = static_cast<int>((from >> (8 * c)) & 0xFF);
    int b = static_cast<int>((to >> (8 * c)) & 0xFF);
    start_[c] = a * 256;
    step_[c] = (b - a) * 256 / count_;
  }
}

std::uint32_t GradientBands::BandColor(int i) const {
  std::uint32_t color = 0;
  for (int c = 0; c < 3; ++c) {
    std::uint32_t v = static_cast<std::uint32_t>((start_[c] + i * step_[c]) / 256);
    color |= v << (8 * c);
  }
  return color;
}

}  // namespace orx
