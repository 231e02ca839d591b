// The first calls of a fresh process, made by several threads at once.
//
// TagLib fills some of its shared lookup tables the first time a format
// needs them, and two threads filling one table at the same time corrupt it
// (lost fields, crashes, hangs). That can only happen once per process, so
// this is a program of its own, run many times by the thread suite: each
// run starts its threads together on their own copies of every fixture,
// format by format from the one named by the first argument (an index into
// the fixtures), sets the track number, reads it back, and exits with the
// number of threads that saw something else. A hang ends by the alarm.
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "orvell.h"
#include "support/temp_files.h"

namespace {

constexpr int kThreads = 4;

// Lets every thread through once all of them have arrived, as often as
// needed.
class Barrier {
 public:
  void Wait() {
    const int round = round_.load();
    if (arrived_.fetch_add(1) + 1 == kThreads) {
      arrived_ = 0;
      ++round_;
      return;
    }
    while (round_.load() == round) std::this_thread::yield();
  }

 private:
  std::atomic<int> arrived_{0};
  std::atomic<int> round_{0};
};

}  // namespace

int main(int argc, char** argv) {
  alarm(20);
  orvell_test::TempDir dir;
  const auto& fixtures = orvell_test::AudioFixtures();
  const size_t first = argc > 1 ? std::strtoul(argv[1], nullptr, 10) % fixtures.size() : 0;
  std::vector<std::vector<std::string>> paths(kThreads);
  for (int t = 0; t < kThreads; ++t) {
    for (size_t i = 0; i < fixtures.size(); ++i) {
      const std::string& fixture = fixtures[(first + i) % fixtures.size()];
      paths[t].push_back(dir.Copy(fixture, std::to_string(t) + "-" + fixture));
    }
  }

  Barrier barrier;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      bool ok = true;
      for (const std::string& path : paths[t]) {
        barrier.Wait();
        const int32_t track = 7 + t;
        ok = OV_SetTrack(path.c_str(), track) == 1 && OV_GetTrack(path.c_str()) == track && ok;
      }
      if (!ok) ++wrong;
    });
  }
  for (std::thread& thread : threads) thread.join();
  return wrong.load();
}
