#include "api/frame.h"
#include "formats/nesting.h"
#include "seam/taglib_seam.h"

namespace orvell {

TagLib::FileRef OpenTagLibFile(stream::FileSource& source, stream::OverlayStream& stream) {
  if (!source.IsOpen() || formats::NestsTooDeep(stream, source.Path())) return TagLib::FileRef();
  // Opening a file may already read TagLib's shared tables.
  BuildSharedTables();
  return TagLib::FileRef(&stream, true, TagLib::AudioProperties::Average);
}

}  // namespace orvell
