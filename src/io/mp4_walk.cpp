#include "io/mp4_walk.h"

#include <cstring>
#include <vector>

namespace orvell::io {

namespace {

// The boxes TagLib descends into, and the first children that tell a
// plain "meta" box from one with version and flags.
const char* const kContainers[] = {"moov", "udta", "mdia", "meta", "ilst", "stbl",
                                   "minf", "moof", "traf", "trak", "stsd"};
const char* const kMetaChildren[] = {"hdlr", "ilst", "mhdr", "ctry", "lang"};

template <size_t N>
bool IsOneOf(const char* name, const char* const (&names)[N]) {
  for (const char* candidate : names) {
    if (std::memcmp(name, candidate, 4) == 0) return true;
  }
  return false;
}

}  // namespace

uint64_t BigEndian(const char* bytes, size_t size) {
  uint64_t value = 0;
  for (size_t i = 0; i < size; ++i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
  return value;
}

bool Mp4Box::IsNamed(const char* four) const { return std::memcmp(name, four, 4) == 0; }
bool Mp4Box::TopIs(const char* four) const { return std::memcmp(top_name, four, 4) == 0; }

bool WalkMp4(Content& content, const std::function<void(const Mp4Box&)>& visit) {
  const int64_t end = content.Size();
  std::vector<Mp4Box> open;  // the containers the cursor is in, outermost first
  int64_t cursor = 0;
  while (true) {
    // A container ends where its length says; TagLib's loop over its
    // children ends once the cursor reaches that point or passes it.
    while (!open.empty() && cursor - open.back().offset >= open.back().length) open.pop_back();
    if (open.empty() && cursor + 8 > end) return true;

    Mp4Box box;
    box.offset = cursor;
    char header[8];
    // TagLib stops parsing the whole file at a header it cannot read or a
    // length below 8.
    if (content.ReadAt(cursor, 8, header) != 8) return true;
    box.declared = static_cast<uint32_t>(BigEndian(header, 4));
    box.length = box.declared;
    cursor += 8;
    if (box.length == 0) {
      box.length = end - box.offset;  // the box runs to the end of the file
    } else if (box.length == 1) {
      char large[8];
      if (content.ReadAt(cursor, 8, large) != 8) return true;
      box.length = static_cast<int64_t>(BigEndian(large, 8));
      cursor += 8;
    }
    if (box.length < 8) return true;
    std::memcpy(box.name, header + 4, 4);
    box.depth = static_cast<int>(open.size());
    box.parent = open.empty() ? -1 : open.back().offset;
    box.top = open.empty() ? box.offset : open.front().offset;
    std::memcpy(box.top_name, open.empty() ? box.name : open.front().name, 4);
    visit(box);

    if (!IsOneOf(box.name, kContainers)) {
      // TagLib seeks past a leaf. A box running past the end of the file
      // makes that seek land beyond it, where TagLib finds nothing more,
      // or fail (beyond what the file system can address), where TagLib
      // reads on from just after the header. Reading on covers both.
      if (box.length <= end - box.offset) cursor = box.offset + box.length;
      continue;
    }
    if (box.depth + 1 > kMaxMp4Depth) return false;
    if (box.IsNamed("meta")) {
      char first[8];
      const bool plain = content.ReadAt(cursor, 8, first) == 8 && IsOneOf(first + 4, kMetaChildren);
      if (!plain) cursor += 4;  // version and flags
    } else if (box.IsNamed("stsd")) {
      cursor += 8;
    }
    open.push_back(box);
  }
}

}  // namespace orvell::io
