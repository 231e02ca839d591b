// The comparisons the suite exists for, printed as ratios of two cases of
// the same run: per format, the library against TagLib directly and the
// bulk calls against the single-field calls; then the codec and parser on
// their own.
#ifndef ORVELL_BENCH_REPORT_H
#define ORVELL_BENCH_REPORT_H

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cases.h"

namespace orvell_bench {

struct Measurements {
  bool instructions = false;              // per_call counts instructions, not nanoseconds
  bool verdicts = true;                   // whether the numbers can meet a target
  std::string basis;                      // how the numbers were taken, for the heading
  std::map<std::string, double> per_call; // by Case::name()
};

// Prints every comparison whose two cases were measured. Returns how many
// targets were missed (information only: nothing fails on it).
int PrintComparisons(const Measurements& m, const std::vector<Case>& cases, std::ostream& out);

// The label under which a callgrind dump of `calls` calls of c is taken,
// and the reverse: the instructions per call of every dump in directory.
std::string DumpLabel(const Case& c, long calls);
Measurements LoadCallgrindDumps(const std::string& directory);

// What strace saw of a read case, per call.
struct SystemCalls {
  double calls = 0;       // system calls of every kind
  double bytes_read = 0;  // bytes the read calls (read, pread64, readv, ...) returned
  double file_bytes = 0;  // the size of the file read
};

// The lines the benchmark writes to an invalid descriptor around `calls`
// calls of c, which read files of file_bytes bytes in all, so that they
// show in strace's log; and the reverse: every case marked in the log at
// path, by Case::name(), in the order of the log.
std::string TraceBegin(const Case& c, long calls);
std::string TraceEnd(int64_t file_bytes);
std::vector<std::pair<std::string, SystemCalls>> LoadStraceLog(const std::string& path);

// Prints the system calls and bytes read per call of OV_ReadTags and of
// TagLib directly, per read group and format. Returns the targets missed.
int PrintSystemCalls(const std::vector<std::pair<std::string, SystemCalls>>& traced,
                     std::ostream& out);

// Wall-clock seconds of whole passes over the library with the page cache
// dropped before each, by variant (OV_ReadTags, TagLib), then by format
// (and "all"), one entry per pass.
using ColdRuns = std::map<std::string, std::map<std::string, std::vector<double>>>;
// Prints the best and median of each and their ratios. Returns the
// targets missed.
int PrintColdCache(const ColdRuns& runs, std::ostream& out);

}  // namespace orvell_bench

#endif
