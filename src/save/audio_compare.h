// Comparing the audio of a file with the audio of the content a save
// would give it.
#ifndef ORVELL_SAVE_AUDIO_COMPARE_H
#define ORVELL_SAVE_AUDIO_COMPARE_H

#include <cstdint>

#include "formats/layout.h"
#include "stream/file_source.h"
#include "stream/overlay_stream.h"

namespace orvell::save {

// How many bytes at the end of after, the new content, are the last
// bytes of the file (before_size long), moved as one.
int64_t SharedEnd(const stream::OverlayStream& after, int64_t before_size);

// Whether now, the layout of after, holds the same audio as old, the
// layout of before: the same runs of the same bytes, the same granule
// positions, a container size still right where it was, and every
// pointer into the audio moved with the bytes it points at. Bytes of the
// file that stand in after where they stood are the same without being
// read.
bool SameAudio(stream::OverlayStream& after, const formats::Layout& now,
               stream::FileSource& before, const formats::Layout& old);

}  // namespace orvell::save

#endif
