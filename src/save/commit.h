// Putting checked new content on disk. Every write is checked, the space a
// longer file needs is reserved before anything is written, and a failure
// at any point leaves the file as it was:
//   - When the audio stays where it is and only tag bytes change, those
//     bytes are written in place (in_place.h).
//   - Otherwise the new content is written to a temporary file beside the
//     original, flushed to the disk and renamed over it, so that the file
//     holds the old content or the new one whatever happens, a power cut
//     included. The mode and, where the process may set it, the owner are
//     kept; the temporary file is removed when anything fails.
//   - A file with several hard links, or in a folder where no temporary
//     file can be made, is rewritten in place from the first changed byte
//     instead, since a rename would leave its other names behind.
#ifndef ORVELL_SAVE_COMMIT_H
#define ORVELL_SAVE_COMMIT_H

#include "formats/layout.h"
#include "stream/overlay_stream.h"

namespace orvell::save {

// Writes stream's content to its file. in_place_allowed: the format lets
// changed tag bytes be written over the file; old is the file's layout
// (its audio, where known, must not be touched by such writes). True
// when the file holds the new content.
bool Commit(stream::OverlayStream& stream, bool in_place_allowed, const formats::Layout& old);

}  // namespace orvell::save

#endif
