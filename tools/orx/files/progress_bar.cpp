#include "progress_bar.h"

#include <cstdio>

#include "platform.h"

namespace orx {

namespace {
constexpr std::uint64_t kWorthShowing = 8u << 20;  // below 8 MiB it is over at once
constexpr int kWidth = 40;
}  // namespace

ProgressBar::ProgressBar(std::string label, std::uint64_t total)
    : label_(std::move(label)),
      total_(total),
      enabled_(total >= kWorthShowing && platform::IsTerminal(stderr)) {}

ProgressBar::~ProgressBar() { Finish(); }

void ProgressBar::Advance(std::uint64_t bytes) {
  done_ += bytes;
  if (enabled_) Draw();
}

void ProgressBar::Draw() {
  int percent = total_ ? static_cast<int>(done_ * 100 / total_) : 100;
  if (percent > 100) percent = 100;
  if (percent == shownPercent_) return;
  shownPercent_ = percent;
  char bar[kWidth + 1];
  int filled = percent * kWidth / 100;
  for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
  bar[kWidth] = 0;
  std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar, percent);
  std::fflush(stderr);
}

void ProgressBar::Finish() {
  if (enabled_ && shownPercent_ >= 0) std::fputs("\n", stderr);
  enabled_ = false;
}

}  // namespace orx
