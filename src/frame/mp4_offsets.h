// A check made before an MP4 file is saved.
#ifndef ORVELL_FRAME_MP4_OFFSETS_H
#define ORVELL_FRAME_MP4_OFFSETS_H

#include <taglib/tfile.h>

namespace orvell {

// When an MP4 tag changes size, TagLib rewrites the file's chunk-offset
// tables (stco and co64 in the movie, the base offsets of tfhd in the first
// fragment), trusting each table's own entry count. A count larger than its
// atom makes it write past the atom, over the audio that follows, and can
// grow the file by gigabytes. True when every such table lies within its
// atom and the file, and always for other formats; false means the file
// must not be saved.
bool OffsetTablesFit(TagLib::File& file);

}  // namespace orvell

#endif
