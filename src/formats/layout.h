// What a save must know of a file's bytes, read once per content by the
// module of its container: where the audio lies, the positions in the
// file that point into it, and whether TagLib's save can be trusted with
// the file at all. A save reads the layout of the file and of the content
// it would give the file, and compares the two.
#ifndef ORVELL_FORMATS_LAYOUT_H
#define ORVELL_FORMATS_LAYOUT_H

#include <cstdint>
#include <vector>

#include "stream/bytes.h"

namespace orvell::formats {

using stream::ByteSource;
using stream::Span;

// Bytes that belong together, wherever they lie: an Ogg packet (its
// segments spread over pages), or a stretch of audio in other containers.
// Where they lie is count spans of the layout's spans, from first on.
struct Run {
  uint32_t serial = 0;    // the Ogg stream it belongs to
  size_t first = 0;
  size_t count = 0;
  int64_t length = 0;     // of all its spans together
  bool complete = true;   // false: cut off where the reading stopped
};

struct Layout {
  // Whether TagLib's save may be made: false for the shapes on which it is
  // known to damage the file in ways that may still let the file open,
  // and why.
  bool save_safe = true;
  const char* unsafe_because = nullptr;
  // Whether the audio below was found; false for a damaged file, or a
  // format with no map, whose check is then the reopening alone.
  bool audio_known = false;
  std::vector<Run> audio;          // bytes a decoder reads, in order
  std::vector<Span> spans;         // where the runs' bytes lie, run after run
  std::vector<int64_t> pointers;   // file positions held in the file that point into them
  std::vector<Span> pointer_fields;  // where each of them is held: offset, width in bytes
  std::vector<uint64_t> granules;  // Ogg granule positions
  bool sized = false;  // the container's own size field matches the file

  // Marks the save unsafe, for the first reason found.
  void Refuse(const char* because);
  // Adds a run of the length bytes at offset.
  void AddRun(int64_t offset, int64_t length);
  const Span* SpansOf(const Run& run) const { return spans.data() + run.first; }
};

}  // namespace orvell::formats

#endif
