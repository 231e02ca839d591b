// A save that either completes with the file whole or leaves it as it was.
//
// TagLib saves through Orvell's stream, so nothing reaches the disk while
// it works. Then, before a byte is written:
//   1. shapes on which TagLib's save is known to damage a file are refused
//      (save_guards.h), and a save that would grow the file far beyond
//      what the caller asked to write, or never end, is stopped;
//   2. the new content is opened again through TagLib: it must be the same
//      kind of file, with the same duration, sample rate and channels, and
//      read back the tag fields as they were set;
//   3. its audio is compared with the file's (audio_map.h): the same bytes,
//      and in MP4 files chunk offsets that still point at them.
// Only then is it committed (commit.h).
#ifndef ORVELL_IO_CHECKED_SAVE_H
#define ORVELL_IO_CHECKED_SAVE_H

#include <cstddef>

#include <taglib/fileref.h>
#include <taglib/tag.h>

#include "io/overlay_stream.h"

namespace orvell::io {

// What a call asked to write: its size, and the generic tag fields it set
// or cleared, which must read back from the new content as the file's tag
// shows them before the save.
struct Written {
  using Reader = TagLib::String (TagLib::Tag::*)() const;
  size_t bytes = 0;
  Reader texts[5] = {};
  size_t text_count = 0;
  bool year = false;
  bool track = false;

  Written& Text(Reader reader) {
    if (text_count < 5) texts[text_count++] = reader;
    return *this;
  }
};

// Saves ref, which was opened over stream. True when the file holds the
// new content.
bool SaveChecked(TagLib::FileRef& ref, OverlayStream& stream, const Written& written);

}  // namespace orvell::io

#endif
