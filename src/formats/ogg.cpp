// The packets of Ogg streams, read page by page from the bytes.
#include "formats/containers.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "seam/taglib_seam.h"
#include "stream/overlay_stream.h"

namespace orvell::formats {

namespace {

// The packets of every stream in the order they end, as runs over spans
// (a layout whose audio is every packet), and the granule positions of
// the pages that carry one (neither 0 nor the "no packet ends here"
// value).
struct OggPackets {
  Layout all;
  bool whole = false;  // every page was read and held together
};

// A packet of one stream not ended yet: where its bytes lie so far.
struct OpenPacket {
  uint32_t serial = 0;
  std::vector<Span> spans;
};

void EndPacket(OpenPacket& open, bool complete, Layout& all) {
  Run run;
  run.serial = open.serial;
  run.first = all.spans.size();
  run.count = open.spans.size();
  run.complete = complete;
  for (const Span& span : open.spans) run.length += span.length;
  all.spans.insert(all.spans.end(), open.spans.begin(), open.spans.end());
  all.audio.push_back(run);
  open.spans.clear();
}

OpenPacket& OpenPacketOf(std::vector<OpenPacket>& open, uint32_t serial) {
  for (OpenPacket& packet : open) {
    if (packet.serial == serial) return packet;
  }
  open.push_back(OpenPacket{serial, {}});
  return open.back();
}

// Reads the pages from the start up to stop (a page offset; the end when
// it is past the end). A page that does not hold together ends the walk
// with whole false; packets still open at stop are returned incomplete.
OggPackets WalkOgg(ByteSource& content, int64_t stop) {
  OggPackets result;
  Layout& all = result.all;
  std::vector<OpenPacket> open;  // by stream; nearly every file has one
  const int64_t end = std::min(stop, content.Size());
  int64_t at = 0;
  while (at < end) {
    char header[27 + 255];
    if (content.ReadAt(at, 27, header) != 27 || std::memcmp(header, "OggS", 4) != 0 ||
        header[4] != 0) {
      return result;
    }
    const size_t segments = static_cast<unsigned char>(header[26]);
    if (content.ReadAt(at + 27, segments, header + 27) != segments) return result;
    const uint64_t granule = stream::LittleEndian64(header + 6);
    OpenPacket& packet = OpenPacketOf(open, stream::LittleEndian32(header + 14));
    int64_t body = at + 27 + static_cast<int64_t>(segments);
    for (size_t i = 0; i < segments; ++i) {
      const int64_t lace = static_cast<unsigned char>(header[27 + i]);
      if (lace > 0) {
        if (!packet.spans.empty() && packet.spans.back().End() == body) {
          packet.spans.back().length += lace;
        } else {
          packet.spans.push_back({body, lace});
        }
      }
      body += lace;
      if (lace < 255) EndPacket(packet, true, all);
    }
    if (body > content.Size()) return result;
    if (granule != 0 && granule != UINT64_MAX) all.granules.push_back(granule);
    at = body;
  }
  for (OpenPacket& packet : open) {
    if (!packet.spans.empty()) EndPacket(packet, false, all);
  }
  result.whole = at == end || at == stop;
  return result;
}

// The first byte of a packet, or -1 when it has none.
int FirstByte(ByteSource& content, const Layout& all, const Run& packet) {
  char first = 0;
  if (packet.count == 0 || content.ReadAt(all.SpansOf(packet)[0].offset, 1, &first) != 1) return -1;
  return static_cast<unsigned char>(first);
}

// Where the comment block of FLAC in Ogg is among the packets, and whether
// it is the last metadata block; index the packet count when there is
// none.
struct FlacComment {
  size_t index;
  bool last;
};

FlacComment FindFlacComment(ByteSource& content, const Layout& all) {
  const std::vector<Run>& packets = all.audio;
  const uint32_t serial = packets.empty() ? 0 : packets[0].serial;
  for (size_t i = 1; i < packets.size(); ++i) {
    if (packets[i].serial != serial) continue;
    const int head = FirstByte(content, all, packets[i]);
    if (head < 0) break;
    const bool last = (head & 0x80) != 0;
    if ((head & 0x7f) == 4) return {i, last};
    if (last) break;  // the last metadata block
  }
  return {packets.size(), false};
}

// The layout of every packet but the comment's.
Layout LayoutOf(OggPackets ogg, size_t comment) {
  Layout layout;
  if (!ogg.whole || ogg.all.audio.empty()) return layout;
  layout = std::move(ogg.all);
  if (comment < layout.audio.size()) layout.audio.erase(layout.audio.begin() + comment);
  layout.audio_known = true;
  return layout;
}

// Where the comment block of FLAC in Ogg begins: the page its first byte
// is on and that byte's offset, and whether it is the last metadata block.
// page is -1 when the metadata blocks hold no comment.
struct FlacCommentStart {
  int64_t page = -1;
  int64_t first_byte = -1;
  bool last = false;
};

// Walks the first stream's pages only as far as the comment block: a few
// pages at the start of the file.
FlacCommentStart FindFlacCommentStart(ByteSource& content) {
  int64_t at = 0;
  uint32_t serial = 0;
  bool first_page = true;
  bool in_packet = false;
  size_t packet = 0;
  while (at < content.Size()) {
    char header[27 + 255];
    if (content.ReadAt(at, 27, header) != 27 || std::memcmp(header, "OggS", 4) != 0) break;
    const size_t segments = static_cast<unsigned char>(header[26]);
    if (content.ReadAt(at + 27, segments, header + 27) != segments) break;
    const uint32_t page_serial = stream::LittleEndian32(header + 14);
    if (first_page) serial = page_serial;
    first_page = false;
    int64_t body = at + 27 + static_cast<int64_t>(segments);
    for (size_t i = 0; i < segments && page_serial == serial; ++i) {
      const int64_t lace = static_cast<unsigned char>(header[27 + i]);
      if (!in_packet && lace > 0 && packet > 0) {
        // A metadata block's first byte: the last-block flag and its type.
        char head = 0;
        if (content.ReadAt(body, 1, &head) != 1) return {};
        const bool last = (head & 0x80) != 0;
        if ((head & 0x7f) == 4) return {at, body, last};
        if (last) return {};
      }
      in_packet = lace == 255;
      if (lace < 255) ++packet;
      body += lace;
    }
    at = body;
  }
  return {};
}

// The checksum of an Ogg page whose checksum field holds zeros: CRC-32 of
// polynomial 0x04c11db7, most significant bit first, from 0.
uint32_t OggChecksum(const std::string& page) {
  static const auto table = [] {
    std::vector<uint32_t> entries(256);
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t r = i << 24;
      for (int bit = 0; bit < 8; ++bit) r = (r & 0x80000000u) != 0 ? (r << 1) ^ 0x04c11db7u : r << 1;
      entries[i] = r;
    }
    return entries;
  }();
  uint32_t crc = 0;
  for (const char c : page) crc = (crc << 8) ^ table[((crc >> 24) ^ static_cast<unsigned char>(c)) & 0xff];
  return crc;
}

}  // namespace

bool MendOggFlac(stream::OverlayStream& after, ByteSource& before, const Layout&) {
  const FlacCommentStart was = FindFlacCommentStart(before);
  if (was.page < 0 || !was.last || !after.Changed()) return true;
  const FlacCommentStart now = FindFlacCommentStart(after);
  if (now.page < 0 || now.last) return true;
  // The page, its checksum field zeroed, with the flag set.
  char header[27 + 255];
  if (after.ReadAt(now.page, 27, header) != 27) return true;
  const size_t segments = static_cast<unsigned char>(header[26]);
  if (after.ReadAt(now.page + 27, segments, header + 27) != segments) return true;
  int64_t length = 27 + static_cast<int64_t>(segments);
  for (size_t i = 0; i < segments; ++i) length += static_cast<unsigned char>(header[27 + i]);
  std::string page(static_cast<size_t>(length), '\0');
  if (after.ReadAt(now.page, page.size(), page.data()) != page.size()) return true;
  page[static_cast<size_t>(now.first_byte - now.page)] |= static_cast<char>(0x80);
  page.replace(22, 4, 4, '\0');
  const uint32_t crc = OggChecksum(page);
  for (size_t i = 0; i < 4; ++i) page[22 + i] = static_cast<char>(crc >> (8 * i));
  return after.WriteAt(now.page, page);
}

Layout ReadOggLayout(ByteSource& content, int64_t stop) {
  return LayoutOf(WalkOgg(content, stop), 1);
}

Layout ReadOggFlacLayout(ByteSource& content, int64_t stop) {
  OggPackets ogg = WalkOgg(content, stop);
  const FlacComment comment = FindFlacComment(content, ogg.all);
  const bool found = comment.index < ogg.all.audio.size();
  Layout layout = LayoutOf(std::move(ogg), comment.index);
  // A comment that is the last block loses its flag, which is then set
  // again (MendOggFlac); one that is missing has no place to be saved at,
  // and such a TagLib writes it over the stream header.
  if (!kTagLibSavesOggFlacWhole && !found) {
    layout.Refuse("TagLib before 2.2 cannot save FLAC in Ogg without a comment block");
  }
  return layout;
}

}  // namespace orvell::formats
