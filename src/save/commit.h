// Putting checked new content on disk. Every write is checked, the space a
// longer file needs is reserved before anything is written, and a failure
// at any point leaves the file as it was. Right before the first write,
// the file must still be what was read: the same file at its path, of the
// same size and change time, or another program changed it and the save
// is refused.
//   - When the audio stays where it is and only tag bytes change, those
//     bytes are written in place (in_place.h).
//   - Otherwise the new content is written to the side file beside the
//     original, given all the original carries besides its bytes (owner,
//     group, mode, extended attributes, flags), flushed to the disk and
//     renamed over it, so that the file holds the old content or the new
//     one whatever happens, a power cut included.
//   - Where that cannot be done (the file has several hard links, the
//     process may not give the new file the owner or attributes of the
//     old, the folder is sticky or append-only, the file is mounted where
//     it stands), the file is rewritten in place through a journal
//     (journal.h), as safe as a replacement.
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
