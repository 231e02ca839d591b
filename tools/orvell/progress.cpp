#include "progress.h"

#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace orvell_tool {
namespace {

constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
constexpr char kErase[] = "\r\033[K";

volatile sig_atomic_t bar_on_screen = 0;

// Erases the bar, then ends the tool the way the signal would have.
extern "C" void EraseBarAndEnd(int signal_number) {
  if (bar_on_screen) {
    const ssize_t ignored = write(STDERR_FILENO, kErase, sizeof kErase - 1);
    (void)ignored;
  }
  // The handler was reset on entry; the signal is delivered again, with
  // its default action, once the handler returns.
  raise(signal_number);
}

void InstallHandlers() {
  struct sigaction action {};
  action.sa_handler = EraseBarAndEnd;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kEndingSignals) {
    struct sigaction old {};
    // A signal the caller of the tool chose to ignore stays ignored.
    if (sigaction(signal_number, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace

sigset_t BlockEndingSignals() {
  sigset_t block;
  sigset_t before;
  sigemptyset(&block);
  for (int signal_number : kEndingSignals) sigaddset(&block, signal_number);
  pthread_sigmask(SIG_BLOCK, &block, &before);
  return before;
}

Progress::Progress(size_t total, bool records_on_terminal)
    : total_(total),
      enabled_(total > 0 && !records_on_terminal && isatty(STDERR_FILENO) == 1) {
  if (enabled_) InstallHandlers();
}

Progress::~Progress() { Clear(); }

void Progress::Show(size_t done) {
  if (!enabled_) return;
  const Clock::time_point now = Clock::now();
  if (drawn_ && done < total_ && now - last_draw_ < std::chrono::milliseconds(100)) return;
  last_draw_ = now;
  drawn_ = true;
  bar_on_screen = 1;

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
  std::fprintf(stderr, "%s[%s%s] %zu/%zu files  %.1f files/s  %s left", kErase,
               std::string(filled, '#').c_str(), std::string(kWidth - filled, '.').c_str(), done,
               total_, rate, left.c_str());
  std::fflush(stderr);
}

void Progress::Clear() {
  if (!drawn_) return;
  std::fputs(kErase, stderr);
  std::fflush(stderr);
  drawn_ = false;
  bar_on_screen = 0;
}

}  // namespace orvell_tool
