// orvell_bench: the library against TagLib directly, the bulk calls against
// the single-field calls, and the codec and parser on their own. Every
// comparison is printed as a ratio of two cases measured in the same run.
//
//   orvell_bench [Google Benchmark flags]   time every case, then the ratios
//   orvell_bench --smoke                    every case exactly once
//   orvell_bench --instructions[=TEXT]      under valgrind --tool=callgrind
//                --collect-atstart=no: one dump per case whose name holds
//                TEXT, counted calls only
//   orvell_bench --instruction-report=DIR   the ratios of the dumps in DIR
//   orvell_bench --syscalls                 under strace -f -s 256 -o LOG: the
//                read cases, marked in the log
//   orvell_bench --syscall-report=LOG       their system calls and bytes read
//   orvell_bench --cold-cache[=PASSES]      passes over the library (9 by
//                default), each reader in turn, the page cache dropped
//                before each (root only)
// With --library=DIR, the files under DIR (bench/make_library.sh) are read
// one after another, per format and all together, by cases of their own.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "cases.h"
#include "report.h"
#include "subjects.h"

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#define ORVELL_BENCH_CALLGRIND 1
#endif

namespace orvell_bench {
namespace {

struct Options {
  bool smoke = false;
  bool instructions = false;
  std::string filter;      // --instructions=TEXT
  std::string report_dir;  // --instruction-report=DIR
  std::string library;     // --library=DIR
  bool syscalls = false;
  std::string strace_log;  // --syscall-report=LOG
  int cold_passes = 0;     // --cold-cache[=PASSES]
};

// The value of "--name=value" in arg, when arg is that option.
bool ValueOf(const std::string& arg, const char* name, std::string& value) {
  const std::string prefix = std::string(name) + "=";
  if (arg.rfind(prefix, 0) != 0) return false;
  value = arg.substr(prefix.size());
  return true;
}

// Takes this program's own options out of argv, leaving Google Benchmark's.
Options TakeOptions(int& argc, char** argv) {
  Options options;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--smoke") {
      options.smoke = true;
    } else if (arg == "--instructions" || arg.rfind("--instructions=", 0) == 0) {
      options.instructions = true;
      if (arg.size() > std::strlen("--instructions=")) options.filter = arg.substr(15);
    } else if (ValueOf(arg, "--instruction-report", options.report_dir) ||
               ValueOf(arg, "--library", options.library) ||
               ValueOf(arg, "--syscall-report", options.strace_log)) {
    } else if (arg == "--syscalls") {
      options.syscalls = true;
    } else if (arg == "--cold-cache" || arg.rfind("--cold-cache=", 0) == 0) {
      options.cold_passes = arg == "--cold-cache" ? 9 : std::max(1, std::stoi(arg.substr(13)));
    } else {
      argv[kept++] = argv[i];
    }
  }
  argc = kept;
  return options;
}

double Nanoseconds(double value, benchmark::TimeUnit unit) {
  switch (unit) {
    case benchmark::kNanosecond: return value;
    case benchmark::kMicrosecond: return value * 1e3;
    case benchmark::kMillisecond: return value * 1e6;
    case benchmark::kSecond: return value * 1e9;
  }
  return value;
}

// The console output as usual, and the CPU time per call of every case
// kept for the ratios: with repetitions, the fastest one. Other processes
// only ever add time, so on a shared machine the minimum is the steadiest
// estimate of what a call itself costs; the medians are printed as well.
class RecordingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      const std::string& name = run.run_name.function_name;
      const double ns = Nanoseconds(run.GetAdjustedCPUTime(), run.time_unit);
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min") {
        best_[name] = ns;
        repetitions_ = run.repetitions;
      } else if (run.run_type == Run::RT_Iteration) {
        singles_[name] = ns;
      }
    }
    ConsoleReporter::ReportRuns(runs);
  }

  Measurements Result() const {
    Measurements m;
    m.per_call = singles_;
    for (const auto& [name, ns] : best_) m.per_call[name] = ns;
    m.basis = best_.empty() ? std::string("CPU time, one run each")
                            : "CPU time, best of " + std::to_string(repetitions_) +
                                  " repetitions";
    return m;
  }

 private:
  std::map<std::string, double> singles_;
  std::map<std::string, double> best_;
  int64_t repetitions_ = 0;
};

int CountInstructions(const std::vector<Case>& cases, const std::string& filter) {
#ifdef ORVELL_BENCH_CALLGRIND
  if (!RUNNING_ON_VALGRIND) {
    std::cerr << "orvell_bench: --instructions runs under valgrind --tool=callgrind "
                 "--collect-atstart=no (scripts/bench --instructions does that)\n";
    return 2;
  }
  for (const Case& c : cases) {
    if (c.name().find(filter) == std::string::npos) continue;
    // A library case reads another file at each call: enough of them to
    // stand for the format.
    const long calls = c.group == "library" ? 100 : c.file ? 10 : 1000;
    c.once();  // warm: lazy binding, TagLib's first-use tables, the page cache
    c.once();
    CALLGRIND_TOGGLE_COLLECT;
    for (long i = 0; i < calls; ++i) c.once();
    CALLGRIND_TOGGLE_COLLECT;
    const std::string label = DumpLabel(c, calls);  // must outlive the request
    CALLGRIND_DUMP_STATS_AT(label.c_str());
  }
  return 0;
#else
  (void)cases;
  (void)filter;
  std::cerr << "orvell_bench: built without valgrind's headers; --instructions is not available\n";
  return 2;
#endif
}

// Writes text where strace shows it and nothing else sees it: to a
// descriptor that is never open.
void Mark(const std::string& text) {
  if (write(-1, text.data(), text.size()) >= 0) std::cerr << "orvell_bench: marker written\n";
}

// The read cases, each `calls` times between two marks, after two calls
// that warm it up.
int MarkSystemCalls(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    if (!c.next_file_size) continue;
    const long calls = c.group == "library" ? 100 : 10;
    c.once();
    c.once();
    int64_t file_bytes = 0;
    Mark(TraceBegin(c, calls));
    for (long i = 0; i < calls; ++i) {
      file_bytes += c.next_file_size();
      c.once();
    }
    Mark(TraceEnd(file_bytes));
  }
  return 0;
}

// Empties the page cache, after writing back what is dirty; false when the
// process may not (it takes root).
bool DropPageCache() {
  sync();
  const int descriptor = open("/proc/sys/vm/drop_caches", O_WRONLY | O_CLOEXEC);
  if (descriptor < 0) return false;
  const bool done = write(descriptor, "3", 1) == 1;
  close(descriptor);
  return done;
}

// Passes over the whole library, the readers taking turns, each after the
// page cache was dropped; the time of each file counts for its format.
int MeasureColdCache(const std::vector<LibraryFile>& library, int passes) {
  using Clock = std::chrono::steady_clock;
  ColdRuns runs;
  for (int pass = 0; pass < passes; ++pass) {
    for (int turn = 0; turn < 2; ++turn) {
      // Which reader goes first alternates from pass to pass.
      const std::string variant = (pass + turn) % 2 == 0 ? "OV_ReadTags" : "TagLib";
      if (!DropPageCache()) {
        std::cout << "\n== The library with a cold page cache: not measured, this process may "
                     "not drop the page cache (/proc/sys/vm/drop_caches takes root)\n";
        return 0;
      }
      std::map<std::string, double> seconds;
      for (const LibraryFile& file : library) {
        const auto start = Clock::now();
        ReadOnce(variant, file.path.c_str());
        const double s = std::chrono::duration<double>(Clock::now() - start).count();
        seconds[file.format] += s;
        seconds["all"] += s;
      }
      for (const auto& [format, s] : seconds) runs[variant][format].push_back(s);
    }
  }
  PrintColdCache(runs, std::cout);
  return 0;
}

int Run(int argc, char** argv) {
  const Options options = TakeOptions(argc, argv);
  if (!options.strace_log.empty()) {
    PrintSystemCalls(LoadStraceLog(options.strace_log), std::cout);
    return 0;
  }
  const std::vector<LibraryFile> library =
      options.library.empty() ? std::vector<LibraryFile>() : ListLibrary(options.library);
  if (options.cold_passes > 0) {
    if (library.empty()) {
      std::cerr << "orvell_bench: --cold-cache reads the library of --library=DIR\n";
      return 2;
    }
    return MeasureColdCache(library, options.cold_passes);
  }
  const Subjects subjects;
  const std::vector<Case> cases = MakeCases(subjects, library);

  std::cout << "Properties of the many-field tags:";
  for (const Subject& s : subjects.all()) std::cout << " " << s.format << " " << s.many_fields_count;
  std::cout << std::endl;

  if (!options.report_dir.empty()) {
    PrintComparisons(LoadCallgrindDumps(options.report_dir), cases, std::cout);
    return 0;
  }
  if (options.instructions) return CountInstructions(cases, options.filter);
  if (options.syscalls) return MarkSystemCalls(cases);

  for (const Case& c : cases) {
    auto* b = benchmark::RegisterBenchmark(c.name().c_str(), [&c](benchmark::State& state) {
      for (auto _ : state) c.once();
    });
    b->Unit(c.file ? benchmark::kMicrosecond : benchmark::kNanosecond);
    b->ComputeStatistics("min", [](const std::vector<double>& v) {
      return *std::min_element(v.begin(), v.end());
    });
    if (options.smoke) b->Iterations(1)->Repetitions(1);
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  RecordingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  Measurements result = reporter.Result();
  if (options.smoke) {
    result.verdicts = false;
    result.basis = "smoke run: one cold call each, not a measurement";
  }
  PrintComparisons(result, cases, std::cout);
  benchmark::Shutdown();
  return 0;
}

}  // namespace
}  // namespace orvell_bench

int main(int argc, char** argv) {
  try {
    return orvell_bench::Run(argc, argv);
  } catch (const std::exception& e) {
    std::cerr << "orvell_bench: " << e.what() << "\n";
    return 1;
  }
}
