// The packets of Ogg streams, read page by page from the bytes.
#include "formats/containers.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "seam/taglib_seam.h"

namespace orvell::formats {

namespace {

struct OggPackets {
  std::vector<Run> packets;  // in the order they end
  // The granule positions of the pages that carry one (neither 0 nor the
  // "no packet ends here" value).
  std::vector<uint64_t> granules;
  bool whole = false;  // every page was read and held together
};

// Reads the pages from the start up to stop (a page offset; the end when
// it is past the end). A page that does not hold together ends the walk
// with whole false; packets still open at stop are returned incomplete.
OggPackets WalkOgg(ByteSource& content, int64_t stop) {
  OggPackets result;
  std::map<uint32_t, Run> open;  // packets not yet ended, by stream
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
    const uint32_t serial = stream::LittleEndian32(header + 14);
    int64_t body = at + 27 + static_cast<int64_t>(segments);
    for (size_t i = 0; i < segments; ++i) {
      const int64_t lace = static_cast<unsigned char>(header[27 + i]);
      Run& packet = open[serial];
      packet.serial = serial;
      if (lace > 0) {
        if (!packet.spans.empty() && packet.spans.back().End() == body) {
          packet.spans.back().length += lace;
        } else {
          packet.spans.push_back({body, lace});
        }
      }
      body += lace;
      if (lace < 255) {
        result.packets.push_back(std::move(packet));
        open.erase(serial);
      }
    }
    if (body > content.Size()) return result;
    if (granule != 0 && granule != UINT64_MAX) result.granules.push_back(granule);
    at = body;
  }
  for (auto& [serial, packet] : open) {
    if (packet.spans.empty()) continue;
    packet.complete = false;
    result.packets.push_back(std::move(packet));
  }
  result.whole = at == end || at == stop;
  return result;
}

// The bytes of a packet, at most limit of them.

std::string PacketBytes(ByteSource& content, const Run& packet, size_t limit) {
  std::string bytes;
  for (const Span& span : packet.spans) {
    if (bytes.size() >= limit) break;
    const size_t take = std::min(static_cast<size_t>(span.length), limit - bytes.size());
    const size_t start = bytes.size();
    bytes.resize(start + take);
    bytes.resize(start + content.ReadAt(span.offset, take, bytes.data() + start));
  }
  return bytes;
}

// Where the comment block of FLAC in Ogg is among packets, and whether it
// is the last metadata block; index packets.size() when there is none.
struct FlacComment {
  size_t index;
  bool last;
};

FlacComment FindFlacComment(ByteSource& content, const std::vector<Run>& packets) {
  const uint32_t serial = packets.empty() ? 0 : packets[0].serial;
  for (size_t i = 1; i < packets.size(); ++i) {
    if (packets[i].serial != serial) continue;
    const std::string head = PacketBytes(content, packets[i], 1);
    if (head.empty()) break;
    const bool last = (head[0] & 0x80) != 0;
    if ((head[0] & 0x7f) == 4) return {i, last};
    if (last) break;  // the last metadata block
  }
  return {packets.size(), false};
}

Layout LayoutOf(OggPackets ogg, size_t comment) {
  Layout layout;
  if (!ogg.whole || ogg.packets.empty()) return layout;
  layout.audio_known = true;
  for (size_t i = 0; i < ogg.packets.size(); ++i) {
    if (i != comment) layout.audio.push_back(std::move(ogg.packets[i]));
  }
  layout.granules = std::move(ogg.granules);
  return layout;
}

}  // namespace

Layout ReadOggLayout(ByteSource& content, int64_t stop) {
  return LayoutOf(WalkOgg(content, stop), 1);
}

Layout ReadOggFlacLayout(ByteSource& content, int64_t stop) {
  OggPackets ogg = WalkOgg(content, stop);
  const FlacComment comment = FindFlacComment(content, ogg.packets);
  const bool found = comment.index < ogg.packets.size();
  Layout layout = LayoutOf(std::move(ogg), comment.index);
  layout.save_safe = kTagLibSavesOggFlacWhole || (found && !comment.last);
  return layout;
}

}  // namespace orvell::formats
