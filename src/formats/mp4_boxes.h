// The box tree of an MP4 file, walked the way TagLib's parser walks it:
// the same box lengths, the same containers, the same stopping points, so
// that what is read from the walk meets every box TagLib will act on. The
// walk keeps its own stack, so no file can make it recurse.
#ifndef ORVELL_FORMATS_MP4_BOXES_H
#define ORVELL_FORMATS_MP4_BOXES_H

#include <cstdint>
#include <functional>

#include "stream/bytes.h"

namespace orvell::formats {

using stream::ByteSource;

struct Mp4Box {
  int64_t offset = 0;
  int64_t length = 0;     // as TagLib takes it: a length of 0 runs to the end of the file
  uint32_t declared = 0;  // the 32-bit length field as written (0 or 1 are special)
  int header_size = 8;    // 16 with a 64-bit length
  char name[4] = {};
  int depth = 0;          // 0 at the top level
  int64_t parent = -1;    // offset of the enclosing box, -1 at the top level
  int64_t parent_end = 0; // where the enclosing box ends (the file's end at the top level)
  int64_t top = -1;       // offset of the top-level box it lies in (itself at the top level)
  bool IsNamed(const char* four) const;
};

// TagLib's parser recurses once per level of nested containers; files
// nested deeper than this are not handed to it.
constexpr int kMaxMp4Depth = 100;

enum class Mp4Walk {
  Complete, // every box up to the end of the file
  Stopped,  // where TagLib stops parsing: a header it cannot read, or a length below 8
  TooDeep,  // deeper than kMaxMp4Depth (the walk stops there)
};

// Calls visit for every box in TagLib's order, and for the boxes of a
// top-level random-access index (mfra), which TagLib leaves alone.
Mp4Walk WalkMp4(ByteSource& content, const std::function<void(const Mp4Box&)>& visit);

}  // namespace orvell::formats

#endif
