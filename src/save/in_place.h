// Writing checked new content over the file it came from, in place, when
// nothing of the file moved: only the bytes that changed, a tag's. What
// the writes replace is kept in memory and written back when a later
// write fails.
#ifndef ORVELL_SAVE_IN_PLACE_H
#define ORVELL_SAVE_IN_PLACE_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "formats/layout.h"
#include "stream/overlay_stream.h"

namespace orvell::save {

// New bytes for the file at offset.
struct Change {
  int64_t offset;
  const char* bytes;
  int64_t length;
};

// Whether every byte of the file that is in the new content is where it
// was: then only what TagLib wrote needs writing.
bool NothingMoved(const stream::OverlayStream& stream);

// The bytes of the new content that differ from the file at the same
// place, when nothing of the file moved. What lies past the end of the
// file is one change, so that the file grows by one write; its bytes are
// kept in tail. Nothing when the file cannot be read.
std::optional<std::vector<Change>> ChangesInPlace(stream::OverlayStream& stream, std::string& tail);

// Whether [offset, end) meets any of old's audio.
bool TouchesAudio(const formats::Layout& old, int64_t offset, int64_t end);

// Writes changes over the file, and its new size; on a failure, writes
// back what they replaced.
bool WriteInPlace(stream::FileSource& source, const std::vector<Change>& changes, int64_t new_size);

}  // namespace orvell::save

#endif
