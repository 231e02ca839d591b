#include "progress.h"

#include <unistd.h>

#include <cstdio>
#include <string>

namespace orvell_tool {

Progress::Progress(size_t total) : total_(total), enabled_(total > 0 && isatty(STDERR_FILENO) == 1) {}

void Progress::Show(size_t done) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (drawn_ && done < total_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  drawn_ = true;

  constexpr size_t kWidth = 30;
  const size_t filled = kWidth * done / total_;
  const double seconds = std::chrono::duration<double>(now - start_).count();
  const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  std::string left = "--:--";
  if (rate > 0) {
    const long remaining = static_cast<long>(static_cast<double>(total_ - done) / rate + 0.5);
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld", remaining / 60, remaining % 60);
    left = text;
  }
  std::fprintf(stderr, "\r\033[K[%s%s] %zu/%zu files  %.1f files/s  %s left",
               std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(), done,
               total_, rate, left.c_str());
  std::fflush(stderr);
}

void Progress::Clear() {
  if (!drawn_) return;
  std::fputs("\r\033[K", stderr);
  std::fflush(stderr);
  drawn_ = false;
}

}  // namespace orvell_tool
