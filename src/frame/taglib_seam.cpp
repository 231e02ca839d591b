#include "frame/taglib_seam.h"

#include <taglib/taglib.h>
#include <taglib/tfile.h>

// ORVELL_TAGLIB_MAJOR comes from the version pkg-config reports; a mismatch
// with the header means the build found two different TagLib installs.
static_assert(TAGLIB_MAJOR_VERSION == ORVELL_TAGLIB_MAJOR,
              "pkg-config and the TagLib headers report different versions");

namespace orvell {

TagLib::PropertyMap ReadProperties(const TagLib::FileRef& ref) {
  if (ref.tag() == nullptr) return TagLib::PropertyMap();
#if ORVELL_TAGLIB_MAJOR >= 2
  return ref.properties();
#else
  return ref.file()->properties();
#endif
}

void WriteProperties(TagLib::FileRef& ref, const TagLib::PropertyMap& map) {
  if (ref.tag() == nullptr) return;
#if ORVELL_TAGLIB_MAJOR >= 2
  ref.setProperties(map);
#else
  ref.file()->setProperties(map);
#endif
}

}  // namespace orvell
