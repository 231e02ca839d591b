// The progress bar of orvell scan: files done of total, rate and time left,
// redrawn in place on stderr. It draws only when stderr is a terminal, and
// only the thread that owns it may call it.
#ifndef ORVELL_TOOLS_ORVELL_PROGRESS_H
#define ORVELL_TOOLS_ORVELL_PROGRESS_H

#include <chrono>
#include <cstddef>

namespace orvell_tool {

class Progress {
 public:
  explicit Progress(size_t total);
  // Redraws the bar, at most ten times a second (always for the last file).
  void Show(size_t done);
  // Erases the bar, so that a message can be printed in its place.
  void Clear();

 private:
  using Clock = std::chrono::steady_clock;
  const size_t total_;
  const bool enabled_;
  const Clock::time_point start_ = Clock::now();
  Clock::time_point last_draw_{};
  bool drawn_ = false;
};

}  // namespace orvell_tool

#endif
