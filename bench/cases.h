// Every measured operation, once: the file benchmarks per format and the
// codec and parser on their own. The same list feeds Google Benchmark and
// the instruction counts taken under callgrind.
#ifndef ORVELL_BENCH_CASES_H
#define ORVELL_BENCH_CASES_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "subjects.h"

namespace orvell_bench {

struct Case {
  std::string group;    // read, write, comment10k, many_fields, library, codec, parser
  std::string variant;  // OV_ReadTags, TagLib, 17_getters, ...
  std::string subject;  // the format (library: or "all"), or the input of a codec case
  bool file = true;     // opens a file (as opposed to working in memory)
  std::function<void()> once;
  // The size of the file the next once() reads (reads only): the bytes
  // read from the disk are measured against it.
  std::function<int64_t()> next_file_size;
  std::string name() const { return group + "/" + variant + "/" + subject; }
};

// A file of the synthetic library (bench/make_library.sh).
struct LibraryFile {
  std::string path;
  std::string format;  // its extension
  int64_t size = 0;
};

// Every regular file under directory, in sorted path order; throws when
// there is none.
std::vector<LibraryFile> ListLibrary(const std::string& directory);

// The cases over subjects and library, which must outlive them: per
// fixture format, and over the library (when it is not empty) one case per
// format and one over all its files, each call reading the next file.
// Before it returns it checks that each direct TagLib read gives the same
// 17 values as OV_ReadTags, on every subject and every file of the
// library, and that each write leaves the values it was asked for, so
// that every comparison is between equal work; throws when one does not.
std::vector<Case> MakeCases(const Subjects& subjects, const std::vector<LibraryFile>& library);

// One read of path as the read cases of variant ("OV_ReadTags" or
// "TagLib") make it.
void ReadOnce(const std::string& variant, const char* path);

}  // namespace orvell_bench

#endif
