// The library's open once more, with TagLib reading the file through its
// own file stream, opened by name: built in place of frame/open.cpp into
// liborvell_file_stream.so, the library every read of liborvell.so is
// compared with. The checks before TagLib parses stay as they are. Reads
// only: its saves would go straight to the file, past every check.
#include "frame/frame.h"
#include "frame/taglib_seam.h"
#include "io/nesting.h"

namespace orvell {

TagLib::FileRef OpenTagLibFile(io::FileSource& source, io::OverlayStream& stream) {
  if (!source.IsOpen() || io::NestsTooDeep(stream)) return TagLib::FileRef();
  BuildSharedTables();
  return TagLib::FileRef(TagLib::FileName(source.Path()), true, TagLib::AudioProperties::Average);
}

}  // namespace orvell
