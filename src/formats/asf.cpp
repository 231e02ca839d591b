#include "formats/containers.h"

#include <taglib/asffile.h>
#include <taglib/asftag.h>

#include "reason/reason.h"

namespace orvell::formats {

Layout ReadAsfLayout(ByteSource& content) {
  Layout layout;
  char header[24];
  const bool read = content.ReadAt(0, 24, header) == 24;
  const auto size = read ? static_cast<int64_t>(stream::LittleEndian64(header + 16)) : 0;
  if (!read || size < 30 || size > content.Size()) {
    layout.Refuse(size == 0 ? "the WMA header object declares size 0"
                            : "the WMA header object runs past the end of the file");
    return layout;
  }
  layout.audio_known = true;
  layout.AddRun(size, content.Size() - size);
  return layout;
}

bool AsfTextsFit(TagLib::File& file) {
  const TagLib::ASF::Tag* tag = static_cast<TagLib::ASF::File&>(file).tag();
  if (tag == nullptr) return true;
  // Each is written as UTF-16 with a terminator, under a 16-bit length.
  for (const TagLib::String& text :
       {tag->title(), tag->artist(), tag->copyright(), tag->comment(), tag->rating()}) {
    if (2 * static_cast<int64_t>(text.size()) + 2 > 0xFFFF) {
      reason::Say("save refused: a WMA title, artist, comment, copyright or rating would be longer "
                  "than 32,766 UTF-16 units");
      return false;
    }
  }
  return true;
}

}  // namespace orvell::formats
