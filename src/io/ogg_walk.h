// The packets of an Ogg file, read page by page from the bytes.
#ifndef ORVELL_IO_OGG_WALK_H
#define ORVELL_IO_OGG_WALK_H

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "io/file_source.h"
#include "io/tag_places.h"

namespace orvell::io {

// Bytes that belong together, wherever they lie: an Ogg packet (its
// segments spread over pages), or a stretch of audio in other containers.
struct Run {
  uint32_t serial = 0;      // the Ogg stream it belongs to
  std::vector<Span> spans;  // where its bytes lie, in order
  bool complete = true;     // false: cut off where the walk stopped
  int64_t Length() const;
};

struct OggContent {
  std::vector<Run> packets;  // in the order they end
  // The granule positions of the pages that carry one (neither 0 nor the
  // "no packet ends here" value).
  std::vector<uint64_t> granules;
  bool whole = false;  // every page was read and held together
};

// Reads the pages from the start up to stop (a page offset; the end when
// it is past the end). A page that does not hold together ends the walk
// with whole false; packets still open at stop are returned incomplete.
OggContent WalkOgg(Content& content, int64_t stop);

// The bytes of a packet, at most limit of them.
std::string PacketBytes(Content& content, const Run& packet, size_t limit);

}  // namespace orvell::io

#endif
