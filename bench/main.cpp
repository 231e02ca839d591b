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
#include <algorithm>
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
};

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
    } else if (arg.rfind("--instruction-report=", 0) == 0) {
      options.report_dir = arg.substr(21);
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
    const long calls = c.file ? 10 : 1000;
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

int Run(int argc, char** argv) {
  const Options options = TakeOptions(argc, argv);
  const Subjects subjects;
  const std::vector<Case> cases = MakeCases(subjects);

  std::cout << "Properties of the many-field tags:";
  for (const Subject& s : subjects.all()) std::cout << " " << s.format << " " << s.many_fields_count;
  std::cout << std::endl;

  if (!options.report_dir.empty()) {
    PrintComparisons(LoadCallgrindDumps(options.report_dir), cases, std::cout);
    return 0;
  }
  if (options.instructions) return CountInstructions(cases, options.filter);

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
