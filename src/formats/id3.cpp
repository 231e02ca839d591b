#include "formats/id3.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace orvell::formats {

uint32_t SynchSafe(const unsigned char* b) {
  if (((b[0] | b[1] | b[2] | b[3]) & 0x80) != 0) {
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
  }
  return uint32_t(b[0]) << 21 | uint32_t(b[1]) << 14 | uint32_t(b[2]) << 7 | b[3];
}

Span Id3v2At(ByteSource& content, int64_t offset, int64_t* declared) {
  unsigned char header[10];
  if (declared != nullptr) *declared = 0;
  if (content.ReadAt(offset, 10, reinterpret_cast<char*>(header)) != 10 ||
      std::memcmp(header, "ID3", 3) != 0) {
    return {offset, 0};
  }
  const bool footer = (header[5] & 0x10) != 0;
  const int64_t whole = 10 + int64_t(SynchSafe(header + 6)) + (footer ? 10 : 0);
  if (declared != nullptr) *declared = whole;
  return {offset, std::min(whole, content.Size() - offset)};
}

namespace {

// Whether the bytes of the tag at tag, after its header, hold "CHAP" or
// "CTOC" anywhere. Most tags hold neither; they are looked through a piece
// at a time, without a copy of the whole tag.
bool NamesChapters(ByteSource& content, const Span& tag) {
  constexpr size_t kPiece = 4096;
  constexpr size_t kOverlap = 3;  // an identifier may begin at a piece's last bytes
  char piece[kPiece];
  for (int64_t at = tag.offset + 10; at + 4 <= tag.End(); at += kPiece - kOverlap) {
    const size_t wanted = static_cast<size_t>(std::min<int64_t>(kPiece, tag.End() - at));
    const size_t got = content.ReadAt(at, wanted, piece);
    const char* end = piece + got;
    for (const char* c = piece; end - c >= 4; ++c) {
      c = static_cast<const char*>(std::memchr(c, 'C', static_cast<size_t>(end - c) - 3));
      if (c == nullptr) break;
      if (std::memcmp(c + 1, "HAP", 3) == 0 || std::memcmp(c + 1, "TOC", 3) == 0) return true;
    }
    if (got < wanted) break;
  }
  return false;
}

}  // namespace

// An upper bound on how deeply the chapter frames of the tag at tag nest,
// found without following TagLib's frame layout (which has special cases
// enough to get wrong): every frame TagLib creates on a nested level
// carries its frame identifier in the tag's bytes (undoing
// unsynchronisation never joins or splits one), and lies inside the frame
// that holds it. So the frames a chapter frame holds, at any depth, are at
// most the identifiers counted in its own length, read generously. Only a
// compressed chapter frame hides what it holds; that is taken as too deep.
bool ChaptersNestTooDeep(ByteSource& content, const Span& tag) {
  if (tag.length < 10 || !NamesChapters(content, tag)) return false;
  std::string bytes(static_cast<size_t>(tag.length), '\0');
  if (content.ReadAt(tag.offset, bytes.size(), bytes.data()) != bytes.size()) return false;
  const int version = static_cast<unsigned char>(bytes[3]);
  if (version < 3) return false;  // ID3v2.2 has no chapter frames
  const bool tag_unsynchronised = (static_cast<unsigned char>(bytes[5]) & 0x80) != 0;

  std::vector<size_t> found;
  for (const char* id : {"CHAP", "CTOC"}) {
    for (size_t at = bytes.find(id, 10); at != std::string::npos; at = bytes.find(id, at + 1)) {
      found.push_back(at);
    }
  }
  if (found.empty()) return false;
  std::sort(found.begin(), found.end());

  const size_t size = bytes.size();
  const bool few = found.size() <= static_cast<size_t>(kMaxChapterDepth);
  for (size_t i = 0; i < found.size(); ++i) {
    const size_t at = found[i];
    if (at + 10 > size) continue;
    const auto* header = reinterpret_cast<const unsigned char*>(bytes.data() + at);
    const uint32_t plain = uint32_t(header[4]) << 24 | uint32_t(header[5]) << 16 |
                           uint32_t(header[6]) << 8 | header[7];
    const uint32_t safe = SynchSafe(header + 4);
    const uint64_t length = std::max(plain, safe);
    const bool fits = length > 0 && length <= size - at - 10;
    const bool compressed = version == 3 ? (header[9] & 0x80) != 0 : (header[9] & 0x08) != 0;
    if (fits && compressed) return true;
    if (few) continue;
    // Unsynchronisation can double the bytes a length counts.
    const bool unsynchronised = tag_unsynchronised || (version >= 4 && (header[9] & 0x02) != 0);
    const uint64_t reach = (10 + length) * (unsynchronised ? 2 : 1);
    const size_t until = static_cast<size_t>(std::min<uint64_t>(size, at + reach));
    const size_t inside = static_cast<size_t>(
        std::lower_bound(found.begin(), found.end(), until) - found.begin()) - i;
    if (inside > static_cast<size_t>(kMaxChapterDepth)) return true;
  }
  return false;
}

}  // namespace orvell::formats
