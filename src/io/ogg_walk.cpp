#include "io/ogg_walk.h"

#include <algorithm>
#include <cstring>

namespace orvell::io {

int64_t Run::Length() const {
  int64_t length = 0;
  for (const Span& span : spans) length += span.length;
  return length;
}

OggContent WalkOgg(Content& content, int64_t stop) {
  OggContent result;
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
    const uint64_t granule = LittleEndian64(header + 6);
    const uint32_t serial = LittleEndian32(header + 14);
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

std::string PacketBytes(Content& content, const Run& packet, size_t limit) {
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

}  // namespace orvell::io
