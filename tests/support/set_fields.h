// Puts a whole tag record in place through the single-field setters, one
// export call per field, so that a bulk call can be checked against state
// it did not write itself.
#ifndef ORVELL_TESTS_SUPPORT_SET_FIELDS_H
#define ORVELL_TESTS_SUPPORT_SET_FIELDS_H

#include <array>
#include <cstdint>
#include <string>

namespace orvell_test {

struct FieldValues {
  // Title, artist, album artist, album, genre, comment, composer, conductor.
  std::array<std::string, 8> texts;
  // Year, track, track total, disc, disc total.
  std::array<int32_t, 5> numbers;
};

// Calls the 13 setters in block order; false when one does not return 1.
bool SetEachField(const std::string& path, const FieldValues& values);

}  // namespace orvell_test

#endif
