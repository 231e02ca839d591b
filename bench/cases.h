// Every measured operation, once: the file benchmarks per format and the
// codec and parser on their own. The same list feeds Google Benchmark and
// the instruction counts taken under callgrind.
#ifndef ORVELL_BENCH_CASES_H
#define ORVELL_BENCH_CASES_H

#include <functional>
#include <string>
#include <vector>

#include "subjects.h"

namespace orvell_bench {

struct Case {
  std::string group;    // read, write, comment10k, many_fields, codec, parser
  std::string variant;  // OV_ReadTags, TagLib, 17_getters, ...
  std::string subject;  // the format, or the input of a codec case
  bool file = true;     // opens a file (as opposed to working in memory)
  std::function<void()> once;
  std::string name() const { return group + "/" + variant + "/" + subject; }
};

// The cases over subjects, which must outlive them. Before it returns it
// checks that each direct TagLib read gives the same 17 values as
// OV_ReadTags and that each write leaves the values it was asked for, so
// that every comparison is between equal work; throws when one does not.
std::vector<Case> MakeCases(const Subjects& subjects);

}  // namespace orvell_bench

#endif
