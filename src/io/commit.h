// Putting checked new content on disk. Every write is checked, the space a
// longer file needs is reserved before anything is written, and a failure
// at any point leaves the file as it was:
//   - When the audio stays where it is and only tag bytes change, those
//     bytes are written in place (what they replace is kept in memory and
//     written back if a later write fails).
//   - Otherwise the new content is written to a temporary file beside the
//     original, flushed to the disk and renamed over it, so that the file
//     holds the old content or the new one whatever happens, a power cut
//     included. The mode and, where the process may set it, the owner are
//     kept; the temporary file is removed when anything fails.
//   - A file with several hard links, or in a folder where no temporary
//     file can be made, is rewritten in place from the first changed byte
//     instead (the old bytes are kept in memory to be written back on a
//     failure), since a rename would leave its other names behind.
#ifndef ORVELL_IO_COMMIT_H
#define ORVELL_IO_COMMIT_H

#include <optional>

#include "io/audio_map.h"
#include "io/overlay_stream.h"

namespace orvell::io {

// Writes stream's content to its file. old is the audio of the file as
// located before the save (nothing when unknown: the audio is then taken
// to be everywhere). True when the file holds the new content.
bool Commit(OverlayStream& stream, Container container, const std::optional<AudioMap>& old);

}  // namespace orvell::io

#endif
