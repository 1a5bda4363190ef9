// A progress bar on standard error, drawn only when standard error is a
// terminal and the work is large enough to be worth watching.
#pragma once

#include <cstdint>
#include <string>

namespace orx {

class ProgressBar {
 public:
  ProgressBar(std::string label, std::uint64_t total);
  ~ProgressBar();
  void Advance(std::uint64_t bytes);
  // Ends the line (when drawn); called by the destructor too.
  void Finish();

 private:
  void Draw();

  std::string label_;
  std::uint64_t total_;
  std::uint64_t done_ = 0;
  int shownPercent_ = -1;
  bool enabled_;
};

}  // namespace orx
