// Chunked containers: RIFF (WAV, sizes little-endian) and IFF (AIFF,
// big-endian) walked by one chunk walker (riff.cpp, which also reads the
// layouts of WAV and AIFF), and the ID3v2 tags chunks may hold, in those
// and in DSD files.
#ifndef ORVELL_FORMATS_RIFF_H
#define ORVELL_FORMATS_RIFF_H

#include <cstdint>
#include <vector>

#include "formats/layout.h"

namespace orvell::formats {

// The ID3v2 tags held in the chunks of a RIFF, AIFF or DSD container.
std::vector<Span> ChunkId3v2(ByteSource& content);

}  // namespace orvell::formats

#endif
