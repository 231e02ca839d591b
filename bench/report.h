// The comparisons the suite exists for, printed as ratios of two cases of
// the same run: per format, the library against TagLib directly and the
// bulk calls against the single-field calls; then the codec and parser on
// their own.
#ifndef ORVELL_BENCH_REPORT_H
#define ORVELL_BENCH_REPORT_H

#include <map>
#include <ostream>
#include <string>
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

}  // namespace orvell_bench

#endif
