#include "formats/ape.h"

#include <cstring>

#include "formats/containers.h"
#include "formats/id3.h"

namespace orvell::formats {

namespace {

// Whether an ID3v1 tag ends the first end bytes, by TagLib's test: "TAG"
// 128 bytes from the end, unless those bytes are the "TAG" of an APE
// tag's "APETAGEX".
bool EndsInId3v1(ByteSource& content, int64_t end) {
  if (end < 131) return end >= 128 && stream::HasAt(content, end - 128, "TAG");
  char bytes[8];
  return content.ReadAt(end - 131, 8, bytes) == 8 && std::memcmp(bytes + 3, "TAG", 3) == 0 &&
         std::memcmp(bytes, "APETAGEX", 8) != 0;
}

}  // namespace

int64_t TrailingTagsStart(ByteSource& content, int64_t end) {
  if (EndsInId3v1(content, end)) end -= 128;
  char footer[32];
  if (end >= 32 && content.ReadAt(end - 32, 32, footer) == 32 &&
      std::memcmp(footer, "APETAGEX", 8) == 0) {
    const int64_t size = stream::LittleEndian32(footer + 12);  // items and footer
    const bool header = (stream::LittleEndian32(footer + 20) & 0x80000000u) != 0;
    const int64_t whole = size + (header ? 32 : 0);
    if (whole <= end) end -= whole;
  }
  return end;
}

bool Id3v2Fits(ByteSource& content, int64_t tag_offset) {
  int64_t declared = 0;
  const Span tag = Id3v2At(content, tag_offset, &declared);
  return declared <= tag.length;
}

Layout ReadBetweenTagsLayout(ByteSource& content) {
  Layout layout;
  const Span tag = Id3v2At(content, 0);
  if (!Id3v2Fits(content, 0)) layout.Refuse(kId3v2PastTheEnd);
  const int64_t end = TrailingTagsStart(content, content.Size());
  if (tag.End() > end) return layout;
  layout.audio_known = true;
  layout.AddRun(tag.End(), end - tag.End());
  return layout;
}

}  // namespace orvell::formats
