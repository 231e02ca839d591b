// The write block of OV_WriteTags: 13 records "N:" action value, parsed and
// validated as a whole before any file is touched. Pure functions over the
// caller's bytes; nothing here knows about files.
#ifndef ORVELL_API_WRITE_BLOCK_H
#define ORVELL_API_WRITE_BLOCK_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "api/results.h"
#include "tag/tag_field.h"

namespace orvell {

constexpr int32_t kKeep = 0;
constexpr int32_t kSet = 1;
constexpr int32_t kClear = 2;

struct WriteItem {
  int32_t action = kKeep;
  std::string value;  // the value bytes; empty for keep and clear
  int32_t number = 0;  // a number record's value, when it is set
};

using WriteItems = std::array<WriteItem, kWriteRecordCount>;

// Parses the block ending at the first NUL within size bytes into items.
// Returns 1, or -5 (framing, lengths, record count, a value on keep or
// clear), -6 (an action other than 0, 1, 2) or -7 (a number record set to
// something other than 0..2147483647); the first faulty record decides.
// No byte at or beyond size, or after the NUL, is read. On a negative
// result the items are partly filled and must be discarded.
int32_t ParseWriteBlock(const char* block, int32_t size, WriteItems& items);

// Strict unsigned decimal: one or more digits, at most 2147483647. Stores
// the number and returns true, or returns false leaving out untouched.
bool ParseDecimalStrict(const char* text, size_t length, int32_t& out);

inline bool ParseDecimalStrict(const std::string& text, int32_t& out) {
  return ParseDecimalStrict(text.data(), text.size(), out);
}

}  // namespace orvell

#endif
