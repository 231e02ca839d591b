// The box tree of an MP4 file, walked the way TagLib's parser walks it:
// the same box lengths, the same containers, the same stopping points, so
// that a check made on the walk meets every box TagLib will act on. The
// walk keeps its own stack, so no file can make it recurse.
#ifndef ORVELL_IO_MP4_WALK_H
#define ORVELL_IO_MP4_WALK_H

#include <cstdint>
#include <functional>

#include "io/file_source.h"

namespace orvell::io {

struct Mp4Box {
  int64_t offset = 0;
  int64_t length = 0;      // as TagLib takes it: a length of 0 runs to the end of the file
  uint32_t declared = 0;   // the 32-bit length field as written (0 or 1 are special)
  char name[4] = {};
  int depth = 0;           // 0 at the top level
  int64_t parent = -1;     // offset of the enclosing box, -1 at the top level
  int64_t top = -1;        // offset of the top-level box it lies in (itself at the top level)
  char top_name[4] = {};
  bool IsNamed(const char* four) const;
  bool TopIs(const char* four) const;
};

// TagLib's parser recurses once per level of nested containers; files
// nested deeper than this are not handed to it.
constexpr int kMaxMp4Depth = 100;

// Calls visit for every box in TagLib's order. False when the boxes nest
// deeper than kMaxMp4Depth (the walk stops there).
bool WalkMp4(Content& content, const std::function<void(const Mp4Box&)>& visit);

uint64_t BigEndian(const char* bytes, size_t size);

}  // namespace orvell::io

#endif
