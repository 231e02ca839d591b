// A check made before an MP4 file is saved.
#ifndef ORVELL_FRAME_MP4_OFFSETS_H
#define ORVELL_FRAME_MP4_OFFSETS_H

#include <taglib/tfile.h>

namespace orvell {

// When an MP4 tag changes size, TagLib rewrites the file's chunk-offset
// tables (stco and co64 in the movie, the base offsets of tfhd in the first
// fragment), trusting each table's own entry count, and takes the boxes
// around the tag at their word. A count larger than its box makes it write
// past the box, over the audio that follows; a box claiming room beyond
// the end of the file makes it pad the tag out to fill it. Either can grow
// the file by gigabytes. True when the tables lie within their boxes and
// the file, no table starts where a new tag would go, and every box of the
// movie ends within the file, and always for other formats; false means
// the file must not be saved.
bool OffsetTablesFit(TagLib::File& file);

}  // namespace orvell

#endif
