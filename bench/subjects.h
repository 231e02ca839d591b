// The files the benchmarks work on: per fixture format, copies in one
// scratch directory, each put in a known tag state with TagLib directly.
// They are written once at start-up, so every timed call finds them in the
// page cache.
#ifndef ORVELL_BENCH_SUBJECTS_H
#define ORVELL_BENCH_SUBJECTS_H

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/temp_files.h"

namespace orvell_bench {

// The 13 writable fields as a host has them: texts in UTF-8, numbers.
struct TagValues {
  std::string title, artist, album_artist, album, genre, comment, composer, conductor;
  int32_t year = 0, track = 0, track_total = 0, disc = 0, disc_total = 0;
};

// What the files hold before any benchmark runs.
TagValues StoredValues();
// What every write benchmark writes (all 13 fields set, differing from
// StoredValues so that the first write changes the file).
TagValues WrittenValues();

struct Subject {
  std::string format;       // the fixture's extension: mp3, flac, ...
  std::string tagged;       // StoredValues
  std::string long_comment; // StoredValues with a 10000-byte comment
  std::string many_fields;  // StoredValues and many further properties
  // One copy per write benchmark, so that no two of them share a file.
  std::string write_bulk, write_direct, write_setters;
  size_t many_fields_count = 0;  // properties the many-field file kept
};

constexpr size_t kLongCommentBytes = 10000;

class Subjects {
 public:
  // Copies and tags every audio fixture; throws when TagLib cannot.
  Subjects();
  const std::vector<Subject>& all() const { return subjects_; }
  const std::string& directory() const { return dir_.path(); }

 private:
  orvell_test::TempDir dir_;
  std::vector<Subject> subjects_;
};

}  // namespace orvell_bench

#endif
