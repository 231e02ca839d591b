// A save that either completes with the file whole or leaves it as it was.
//
// TagLib saves through the library's stream, so nothing reaches the disk
// while it works. Around that:
//   1. a file in which TagLib finds no audio stream is not saved at all;
//      the file's layout is read (formats/): shapes on which TagLib's save
//      is known to damage a file are refused before it runs, as are tags
//      that do not fit their format; a save that would grow the file far
//      beyond what the caller asked to write, or never end, is stopped;
//   2. TagLib's save runs, and what it is known to leave wrong is mended
//      (formats/); the new content is opened again through TagLib: it must
//      be the same kind of file, with the same duration, sample rate and
//      channels, and read back the tag fields as they were set;
//   3. its layout is read and its audio compared with the file's
//      (audio_compare.h): the same bytes, and positions that point into
//      the audio still pointing at the same bytes.
// Only then is it committed (commit.h).
#ifndef ORVELL_SAVE_CHECKED_SAVE_H
#define ORVELL_SAVE_CHECKED_SAVE_H

#include <cstddef>

#include <taglib/fileref.h>

#include "save/snapshot.h"
#include "stream/overlay_stream.h"
#include "tag/generic_tag.h"

namespace orvell::save {

// What a call asks a save to carry: the bytes the caller gave it, and what
// it changed: the generic tag fields it set or cleared, which must read
// back from the new content as the file's tag shows them before the save,
// and the property keys and pictures it set. All else the file held, as
// before shows it, must read the same after the save.
struct SaveRequest {
  size_t input_bytes = 0;
  Changes changes;
};

// Saves ref, which was opened over stream. True when the file holds the
// new content.
bool SaveChecked(TagLib::FileRef& ref, stream::OverlayStream& stream, const SaveRequest& request,
                 const Snapshot& before);

}  // namespace orvell::save

#endif
