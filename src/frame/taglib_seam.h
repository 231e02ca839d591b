// The one place that knows which TagLib line the library is built against.
#ifndef ORVELL_FRAME_TAGLIB_SEAM_H
#define ORVELL_FRAME_TAGLIB_SEAM_H

#include <taglib/fileref.h>
#include <taglib/tiostream.h>
#include <taglib/tpropertymap.h>

namespace orvell {

// The position and length types of TagLib's IOStream: on the 1.x line
// long, with unsigned long for lengths and for where an insert or removal
// starts; offset_t and size_t on 2.x.
#if ORVELL_TAGLIB_MAJOR >= 2
using StreamOffset = TagLib::offset_t;
using StreamStart = TagLib::offset_t;
using StreamLength = size_t;
#else
using StreamOffset = long;
using StreamStart = unsigned long;
using StreamLength = unsigned long;
#endif

// TagLib fills some of its process-wide lookup tables (MP4 and ASF property
// keys, ID3v2 involved-people roles, and on the 2.x line the MP4 item
// factory and RIFF INFO keys) the first time a file needs them, without a
// lock. Two threads doing that at once corrupt the table: fields go
// missing, the process crashes or hangs. This builds them all, once per
// process and thread-safely, so that every call can reach TagLib after it.
void BuildSharedTables();

// The file's property map. A file whose tag() is null has no properties:
// TagLib's default property access would dereference that null tag.
TagLib::PropertyMap ReadProperties(const TagLib::FileRef& ref);

// Hands map to the file. The properties the file refuses are dropped
// unread. A file whose tag() is null is left alone, for the same reason as
// above; its save still runs and decides the caller's result.
void WriteProperties(TagLib::FileRef& ref, const TagLib::PropertyMap& map);

}  // namespace orvell

#endif
