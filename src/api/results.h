// Every result code of the library, by family, as orvell.h documents them.
// The same number means different things in different families: -2 is a
// bad buffer in a text getter, a file that did not open in a number
// getter, and a NULL text or a negative number in a setter.
#ifndef ORVELL_API_RESULTS_H
#define ORVELL_API_RESULTS_H

#include <cstdint>

namespace orvell {

// Every family.
constexpr int32_t kBadPath = -1;
constexpr int32_t kUnexpected = -9;
// A completed save.
constexpr int32_t kSaved = 1;

// What a file that did not open, and a file lacking the tag or audio
// properties the export needs, are reported as.
struct Family {
  int32_t not_opened;
  int32_t missing;
};
constexpr Family kTextFamily{-3, -4};    // string getters and setters, bulk calls
constexpr Family kNumberGetter{-2, -3};  // integer getters

// String getters and OV_ReadTags: a NULL buffer or a size <= 0.
constexpr int32_t kBadBuffer = -2;
// Setters: a NULL text or a negative number.
constexpr int32_t kBadValue = -2;
// Single-field setters: the save failed, the file is as it was.
constexpr int32_t kSaveFailed = -5;

// OV_ReadTags: the block and its NUL do not fit the buffer.
constexpr int32_t kBlockTooSmall = -5;

// OV_WriteTags.
constexpr int32_t kNothingToWrite = 0;     // every record keeps its field
constexpr int32_t kBadBlock = -2;          // a NULL block or a size <= 0
constexpr int32_t kBlockMalformed = -5;    // framing, lengths, record count, a value on keep or clear
constexpr int32_t kBlockBadAction = -6;    // an action other than 0, 1, 2
constexpr int32_t kBlockBadNumber = -7;    // a number record set to other than 0..2147483647
constexpr int32_t kWriteSaveFailed = -8;   // the save failed, the file is as it was

}  // namespace orvell

#endif
