// Where the tags TagLib reads lie in a file, found from the bytes alone
// the way TagLib looks for them: ID3v2 tags at the start of a file (or,
// in an MPEG file, after junk before the first frame), in the chunks of
// RIFF, AIFF and DSD files, and APE and ID3v1 tags at the end.
#ifndef ORVELL_IO_TAG_PLACES_H
#define ORVELL_IO_TAG_PLACES_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "io/file_source.h"

namespace orvell::io {

struct Span {
  int64_t offset = 0;
  int64_t length = 0;
  int64_t End() const { return offset + length; }
};

// The lower-case extension of a path ("mp3"); empty when it has none.
std::string ExtensionOf(std::string_view path);

// An ID3v2 tag at offset, header, frames and footer; length 0 when there
// is none. Its length is cut to the content; declared, when given, is set
// to the length its header declares.
Span Id3v2At(Content& content, int64_t offset, int64_t* declared = nullptr);

// The ID3v2 tag TagLib's MPEG reader uses: at the start, or else the first
// one before the first valid MPEG frame.
Span MpegId3v2(Content& content, int64_t* declared = nullptr);

// The ID3v2 tags held in the chunks of a RIFF, AIFF or DSD container.
std::vector<Span> ChunkId3v2(Content& content);

// Where trailing APE and ID3v1 tags begin: end when there are none.
int64_t TrailingTagsStart(Content& content, int64_t end);

// The 32-bit integers ID3v2 writes in seven-bit bytes; a value that is not
// (some writers put plain integers there) reads as a plain integer, as
// TagLib reads it.
uint32_t SynchSafe(const unsigned char* bytes);

uint32_t LittleEndian32(const char* bytes);
uint64_t LittleEndian64(const char* bytes);

}  // namespace orvell::io

#endif
