// The progress bar of orvell scan: files done of total, rate and time left,
// redrawn in place on stderr. It draws only when stderr is a terminal that
// the records do not go to, and only the thread that owns it may call it.
// The bar never outlives the tool: Clear() erases it, and a signal that
// ends the tool while it is drawn (Ctrl-C, a pipe closed by the reader of
// the records, a hang-up, kill) erases it first, on the thread that owns
// it; other threads must block those signals (BlockEndingSignals).
#ifndef ORVELL_TOOLS_ORVELL_PROGRESS_H
#define ORVELL_TOOLS_ORVELL_PROGRESS_H

#include <signal.h>

#include <chrono>
#include <cstddef>

namespace orvell_tool {

class Progress {
 public:
  Progress(size_t total, bool records_on_terminal);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

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

// Blocks, in the calling thread, the signals whose handler erases the bar,
// so that they reach the thread that draws it; returns the mask before.
sigset_t BlockEndingSignals();

}  // namespace orvell_tool

#endif
