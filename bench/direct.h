// The floor the library is measured against: the same reads and writes
// done with TagLib directly, as a C++ host would write them. They open the
// file the same way (audio properties read, Average), call the same
// accessors, take one copy of the property map and convert every text to
// UTF-8, but build no block and parse none.
#ifndef ORVELL_BENCH_DIRECT_H
#define ORVELL_BENCH_DIRECT_H

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "subjects.h"

namespace orvell_bench {

// The 17 fields in block order: texts 0 to 7, numbers 8 to 16.
struct DirectRecord {
  std::array<std::string, 8> text;
  std::array<int32_t, 9> number{};
};

// Reads the 17 fields in one open. Throws when the file does not open or
// has no tag.
DirectRecord ReadDirect(const char* path);

// Every property of the file as UTF-8, keys with their values, from
// TagLib's own properties().
using DirectProperties = std::vector<std::pair<std::string, std::vector<std::string>>>;
DirectProperties PropertiesDirect(const char* path);

// Sets all 13 fields in one open, one setProperties() and one save.
// Throws when the file does not open, has no tag or does not save.
void WriteDirect(const char* path, const TagValues& values);

}  // namespace orvell_bench

#endif
