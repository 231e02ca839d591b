// The library's open once more, with TagLib reading the file through its
// own file stream, opened by name: built in place of api/open.cpp into
// liborvell_file_stream.so, the library every read of liborvell.so is
// compared with. The checks before TagLib parses stay as they are. Reads
// only: its saves would go straight to the file, past every check.
#include "api/frame.h"
#include "formats/nesting.h"
#include "seam/taglib_seam.h"

namespace orvell {

TagLib::FileRef OpenTagLibFile(stream::FileSource& source, stream::OverlayStream& stream) {
  if (!source.IsOpen() || formats::NestsTooDeep(stream, source.Path())) return TagLib::FileRef();
  BuildSharedTables();
  return TagLib::FileRef(TagLib::FileName(source.Path()), true, TagLib::AudioProperties::Average);
}

}  // namespace orvell
