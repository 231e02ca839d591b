#include "formats/mp4_boxes.h"

#include <cstring>
#include <vector>

namespace orvell::formats {

namespace {

// The boxes TagLib descends into, and the first children that tell a
// plain "meta" box from one with version and flags.
bool IsTagLibContainer(const char* name) {
  return stream::IsOneOf4(name, {"moov", "udta", "mdia", "meta", "ilst", "stbl", "minf", "moof",
                                 "traf", "trak", "stsd"});
}
bool IsPlainMetaChild(const char* name) {
  return stream::IsOneOf4(name, {"hdlr", "ilst", "mhdr", "ctry", "lang"});
}

}  // namespace

bool Mp4Box::IsNamed(const char* four) const { return std::memcmp(name, four, 4) == 0; }

Mp4Walk WalkMp4(ByteSource& content, const std::function<void(const Mp4Box&)>& visit) {
  const int64_t end = content.Size();
  std::vector<Mp4Box> open;  // the containers the cursor is in, outermost first
  int64_t cursor = 0;
  while (true) {
    // A container ends where its length says; TagLib's loop over its
    // children ends once the cursor reaches that point or passes it.
    while (!open.empty() && cursor - open.back().offset >= open.back().length) open.pop_back();
    if (open.empty() && cursor + 8 > end) return Mp4Walk::Complete;

    Mp4Box box;
    box.offset = cursor;
    char header[8];
    // TagLib stops parsing the whole file at a header it cannot read or a
    // length below 8.
    if (content.ReadAt(cursor, 8, header) != 8) return Mp4Walk::Stopped;
    box.declared = static_cast<uint32_t>(stream::BigEndian(header, 4));
    box.length = box.declared;
    cursor += 8;
    if (box.length == 0) {
      box.length = end - box.offset;  // the box runs to the end of the file
    } else if (box.length == 1) {
      char large[8];
      if (content.ReadAt(cursor, 8, large) != 8) return Mp4Walk::Stopped;
      box.length = static_cast<int64_t>(stream::BigEndian(large, 8));
      box.header_size = 16;
      cursor += 8;
    }
    if (box.length < 8) return Mp4Walk::Stopped;
    std::memcpy(box.name, header + 4, 4);
    box.depth = static_cast<int>(open.size());
    box.parent = open.empty() ? -1 : open.back().offset;
    box.parent_end = open.empty() ? end : open.back().offset + open.back().length;
    box.top = open.empty() ? box.offset : open.front().offset;
    visit(box);

    const bool index = open.empty() && box.IsNamed("mfra");
    if (!IsTagLibContainer(box.name) && !index) {
      // TagLib seeks past a leaf. A box running past the end of the file
      // makes that seek land beyond it, where TagLib finds nothing more,
      // or fail (beyond what the file system can address), where TagLib
      // reads on from just after the header. Reading on covers both.
      if (box.length <= end - box.offset) cursor = box.offset + box.length;
      continue;
    }
    if (box.depth + 1 > kMaxMp4Depth) return Mp4Walk::TooDeep;
    if (box.IsNamed("meta")) {
      char first[8];
      const bool plain = content.ReadAt(cursor, 8, first) == 8 && IsPlainMetaChild(first + 4);
      if (!plain) cursor += 4;  // version and flags
    } else if (box.IsNamed("stsd")) {
      cursor += 8;
    }
    open.push_back(box);
  }
}

}  // namespace orvell::formats
