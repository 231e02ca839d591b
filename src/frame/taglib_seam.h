// The one place that knows which TagLib line the library is built against.
#ifndef ORVELL_FRAME_TAGLIB_SEAM_H
#define ORVELL_FRAME_TAGLIB_SEAM_H

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

namespace orvell {

// The file's property map. A file whose tag() is null has no properties:
// TagLib's default property access would dereference that null tag.
TagLib::PropertyMap ReadProperties(const TagLib::FileRef& ref);

// Hands map to the file. The properties the file refuses are dropped
// unread. A file whose tag() is null is left alone, for the same reason as
// above; its save still runs and decides the caller's result.
void WriteProperties(TagLib::FileRef& ref, const TagLib::PropertyMap& map);

}  // namespace orvell

#endif
