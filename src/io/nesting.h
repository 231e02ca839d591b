// Files nested deeper than TagLib's parsers can follow. TagLib parses MP4
// boxes and ID3v2 chapter frames (CHAP, CTOC, which hold frames of their
// own) by recursion, one level per level of the file; a file nested a
// hundred thousand levels deep runs the caller's stack out and kills the
// process. Real files nest a few levels; such a file is not opened.
#ifndef ORVELL_IO_NESTING_H
#define ORVELL_IO_NESTING_H

#include "io/file_source.h"
#include "io/overlay_stream.h"

namespace orvell::io {

// Chapter frames nested in chapter frames, at most. TagLib needs well under
// a kilobyte of stack per level.
constexpr int kMaxChapterDepth = 64;

// True when the content named path (its extension decides, as it does for
// TagLib) nests deeper than TagLib is allowed to follow.
bool NestsTooDeep(Content& content, const char* path);

inline bool NestsTooDeep(OverlayStream& stream) {
  return NestsTooDeep(stream, stream.Source().Path());
}

}  // namespace orvell::io

#endif
