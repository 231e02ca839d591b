// APE tags and the ID3v1 tag after them at the end of a file, and the
// ID3v2 tag a file may start with.
#ifndef ORVELL_FORMATS_APE_H
#define ORVELL_FORMATS_APE_H

#include <cstdint>

#include "formats/layout.h"

namespace orvell::formats {

// Where the APE and ID3v1 tags that end the content's first end bytes
// begin: end when there are none.
int64_t TrailingTagsStart(ByteSource& content, int64_t end);

// Whether the ID3v2 tag at tag declares no more bytes than the content
// holds. TagLib would replace all the bytes it declares, the audio
// included, with the new tag.
bool Id3v2Fits(ByteSource& content, int64_t tag_offset);
constexpr const char* kId3v2PastTheEnd = "the ID3v2 tag declares more bytes than the file holds";

}  // namespace orvell::formats

#endif
