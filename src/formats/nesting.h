// Files nested deeper than TagLib's parsers can follow. TagLib parses MP4
// boxes and ID3v2 chapter frames by recursion, one level per level of the
// file; a file nested a hundred thousand levels deep runs the caller's
// stack out and kills the process. Real files nest a few levels; such a
// file is not opened.
#ifndef ORVELL_FORMATS_NESTING_H
#define ORVELL_FORMATS_NESTING_H

#include "stream/byte_source.h"

namespace orvell::formats {

// True when the content named path (its extension decides, as it does for
// TagLib) nests deeper than TagLib is allowed to follow.
bool NestsTooDeep(stream::ByteSource& content, const char* path);

}  // namespace orvell::formats

#endif
