// MPEG audio: where TagLib's MPEG reader finds the ID3v2 tag, and the
// audio between the tags.
#ifndef ORVELL_FORMATS_MPEG_H
#define ORVELL_FORMATS_MPEG_H

#include <cstdint>

#include "formats/layout.h"

namespace orvell::formats {

// How far into a file TagLib's MPEG reader may look for an ID3v2 tag
// before the first frame.
enum class MpegScan {
  // A file opened as MPEG by its name: up to the first valid frame,
  // however far into the file that is.
  WholeFile,
  // Any other file: TagLib opens it as MPEG only when a valid frame
  // starts within its first kilobyte, so the tag, if any, comes before
  // that; a look at the first 4 KB covers it with room to spare.
  Start,
};

// The ID3v2 tag TagLib's MPEG reader uses: at the start, or else the first
// one before the first valid MPEG frame. declared, when given, is set to
// the length its header declares.
Span MpegId3v2(ByteSource& content, MpegScan scan, int64_t* declared = nullptr);

}  // namespace orvell::formats

#endif
