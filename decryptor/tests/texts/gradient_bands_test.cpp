// The band arithmetic of gradient labels.
#include "gradient_bands.h"

#include <gtest/gtest.h>

namespace {

constexpr std::uint32_t Rgb(int r, int g, int b) {
  return static_cast<std::uint32_t>(r | (g << 8) | (b << 16));
}

TEST(GradientBands, HundredBandsOnAWideLabel) {
  orx::GradientBands bands(10, 260, Rgb(0, 0, 0), Rgb(200, 100, 255), 100);
  ASSERT_EQ(bands.count(), 100);
  EXPECT_EQ(bands.BandLeft(0), 10);
  EXPECT_EQ(bands.BandRight(0), 12);
  EXPECT_EQ(bands.BandLeft(99), 208);
  EXPECT_EQ(bands.BandRight(99), 260);  // the last band takes the rest
  EXPECT_EQ(bands.BandColor(0), Rgb(0, 0, 0));
  // Steps: 200*256/100 = 512, 100*256/100 = 256, 255*256/100 = 652 (652.8).
  EXPECT_EQ(bands.BandColor(1), Rgb(2, 1, 2));
  EXPECT_EQ(bands.BandColor(99), Rgb(198, 99, 252));
}

TEST(GradientBands, NarrowLabelGetsOneBandPerColumn) {
  orx::GradientBands bands(0, 7, Rgb(255, 0, 10), Rgb(0, 255, 10), 100);
  ASSERT_EQ(bands.count(), 7);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(bands.BandLeft(i), i);
    EXPECT_EQ(bands.BandRight(i), i + 1);
  }
  // Falling channel: step (0-255)*256/7 = -9325 (truncated toward zero), so
  // the values stay above the exact ones.
  EXPECT_EQ(bands.BandColor(1), Rgb(218, 36, 10));
  EXPECT_EQ(bands.BandColor(6), Rgb(36, 218, 10));
}

TEST(GradientBands, NoWidthNoBands) {
  EXPECT_EQ(orx::GradientBands(5, 5, 0, 0xFFFFFF, 100).count(), 0);
  EXPECT_EQ(orx::GradientBands(9, 5, 0, 0xFFFFFF, 100).count(), 0);
  EXPECT_EQ(orx::GradientBands(0, 50, 0, 0xFFFFFF, 0).count(), 0);
}

TEST(GradientBands, EqualColoursStayFlat) {
  orx::GradientBands bands(0, 300, Rgb(0, 80, 71), Rgb(0, 80, 71), 100);
  for (int i = 0; i < bands.count(); ++i) EXPECT_EQ(bands.BandColor(i), Rgb(0, 80, 71));
}

}  // namespace
