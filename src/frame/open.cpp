#include "frame/frame.h"
#include "frame/taglib_seam.h"
#include "io/nesting.h"

namespace orvell {

TagLib::FileRef OpenTagLibFile(io::FileSource& source, io::OverlayStream& stream) {
  if (!source.IsOpen() || io::NestsTooDeep(stream)) return TagLib::FileRef();
  // Opening a file may already read TagLib's shared tables.
  BuildSharedTables();
  return TagLib::FileRef(&stream, true, TagLib::AudioProperties::Average);
}

}  // namespace orvell
