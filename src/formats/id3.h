// ID3v2 tags, found from the bytes alone the way TagLib finds them, and
// the depth to which their chapter frames nest.
#ifndef ORVELL_FORMATS_ID3_H
#define ORVELL_FORMATS_ID3_H

#include <cstdint>

#include "stream/bytes.h"

namespace orvell::formats {

using stream::ByteSource;
using stream::Span;

// Chapter frames nested in chapter frames, at most. TagLib parses CHAP and
// CTOC frames, which hold frames of their own, by recursion, and needs
// well under a kilobyte of stack per level; real files nest a few levels.
constexpr int kMaxChapterDepth = 64;

// An ID3v2 tag at offset: header, frames and footer; length 0 when there
// is none. Its length is cut to the content; declared, when given, is set
// to the length its header declares.
Span Id3v2At(ByteSource& content, int64_t offset, int64_t* declared = nullptr);

// The 32-bit integers ID3v2 writes in seven-bit bytes; a value that is not
// (some writers put plain integers there) reads as a plain integer, as
// TagLib reads it.
uint32_t SynchSafe(const unsigned char* bytes);

// Whether the chapter frames of the tag at tag may nest deeper than
// kMaxChapterDepth.
bool ChaptersNestTooDeep(ByteSource& content, const Span& tag);

}  // namespace orvell::formats

#endif
