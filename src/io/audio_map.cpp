#include "io/audio_map.h"

#include <algorithm>
#include <cstring>
#include <string>

#include <taglib/aifffile.h>
#include <taglib/apefile.h>
#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/mp4file.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/oggflacfile.h>
#include <taglib/opusfile.h>
#include <taglib/speexfile.h>
#include <taglib/trueaudiofile.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>
#include <taglib/wavpackfile.h>

#include "io/mp4_walk.h"
#include "io/tag_places.h"

namespace orvell::io {

namespace {

template <typename T>
bool Is(const TagLib::File& file) {
  return dynamic_cast<const T*>(&file) != nullptr;
}

Run Whole(int64_t offset, int64_t length) {
  Run run;
  run.spans.push_back({offset, length});
  return run;
}

bool Matches(Content& content, int64_t offset, const char* magic) {
  const size_t size = std::strlen(magic);
  char bytes[8];
  return content.ReadAt(offset, size, bytes) == size && std::memcmp(bytes, magic, size) == 0;
}

std::optional<AudioMap> Between(Content& content, int64_t start) {
  const int64_t end = TrailingTagsStart(content, content.Size());
  if (start > end) return std::nullopt;
  AudioMap map;
  map.runs.push_back(Whole(start, end - start));
  return map;
}

std::optional<AudioMap> Mpeg(Content& content) {
  const Span tag = MpegId3v2(content);
  const int64_t end = TrailingTagsStart(content, content.Size());
  if (tag.End() > end) return std::nullopt;
  AudioMap map;
  if (tag.length > 0 && tag.offset > 0) map.runs.push_back(Whole(0, tag.offset));  // junk
  map.runs.push_back(Whole(tag.End(), end - tag.End()));
  return map;
}

std::optional<AudioMap> Flac(Content& content) {
  int64_t at = Id3v2At(content, 0).End();
  if (!Matches(content, at, "fLaC")) return std::nullopt;
  at += 4;
  AudioMap map;
  for (bool last = false; !last;) {
    char header[4];
    if (content.ReadAt(at, 4, header) != 4) return std::nullopt;
    last = (header[0] & 0x80) != 0;
    const int64_t length = static_cast<int64_t>(BigEndian(header + 1, 3));
    if ((header[0] & 0x7f) == 0) map.runs.push_back(Whole(at + 4, length));
    at += 4 + length;
  }
  const int64_t end = TrailingTagsStart(content, content.Size());
  if (map.runs.empty() || at > end) return std::nullopt;
  map.runs.push_back(Whole(at, end - at));
  return map;
}

// The packet of the first stream that TagLib rewrites: the comment header.
size_t CommentPacket(Container container, Content& content, const std::vector<Run>& packets) {
  if (container != Container::OggFlac) return 1;
  // FLAC in Ogg: one metadata block per packet after the first; the
  // comment is the one of type 4.
  const uint32_t serial = packets.empty() ? 0 : packets[0].serial;
  size_t index = 0;
  for (size_t i = 1; i < packets.size(); ++i) {
    if (packets[i].serial != serial) continue;
    ++index;
    const std::string head = PacketBytes(content, packets[i], 1);
    if (head.empty()) break;
    if ((head[0] & 0x7f) == 4) return i;
    if ((head[0] & 0x80) != 0) break;  // the last metadata block
  }
  return packets.size();  // none
}

std::optional<AudioMap> Ogg(Container container, Content& content, int64_t stop) {
  OggContent ogg = WalkOgg(content, stop);
  if (!ogg.whole || ogg.packets.empty()) return std::nullopt;
  const size_t comment = CommentPacket(container, content, ogg.packets);
  AudioMap map;
  for (size_t i = 0; i < ogg.packets.size(); ++i) {
    if (i != comment) map.runs.push_back(std::move(ogg.packets[i]));
  }
  map.granules = std::move(ogg.granules);
  return map;
}

// The boxes a decoder goes into on its way to the media data and the
// positions pointing at it: chunk offset tables, fragment base offsets,
// and the random-access index of fragmented files.
bool IsMp4Path(const char* name) {
  for (const char* container : {"moov", "trak", "mdia", "minf", "stbl", "moof", "traf", "mfra"}) {
    if (std::memcmp(name, container, 4) == 0) return true;
  }
  return false;
}

// The positions in an MP4 file that point into its media data, and the
// media data itself, found as a decoder finds them: every box within its
// parent, whatever TagLib makes of a damaged one.
std::optional<AudioMap> Mp4(Content& content) {
  AudioMap map;
  struct Level {
    int64_t at, end;
  };
  std::vector<Level> levels{{0, content.Size()}};
  while (!levels.empty()) {
    Level& level = levels.back();
    if (level.end - level.at < 8) {
      levels.pop_back();
      continue;
    }
    char header[16];
    if (content.ReadAt(level.at, 16, header) < 8) return std::nullopt;
    int64_t length = static_cast<int64_t>(BigEndian(header, 4));
    int64_t header_size = 8;
    if (length == 1) {
      length = static_cast<int64_t>(BigEndian(header + 8, 8));
      header_size = 16;
    } else if (length == 0) {
      length = level.end - level.at;  // to the end of its parent
    }
    if (length < header_size || length > level.end - level.at) return std::nullopt;
    const int64_t box = level.at;
    const char* name = header + 4;
    level.at += length;
    const bool top = levels.size() == 1;
    if (top && std::memcmp(name, "mdat", 4) == 0) {
      map.runs.push_back(Whole(box + header_size, length - header_size));
    } else if (std::memcmp(name, "stco", 4) == 0 || std::memcmp(name, "co64", 4) == 0) {
      const int64_t entry = name[1] == 't' ? 4 : 8;
      char count_bytes[4];
      if (content.ReadAt(box + 12, 4, count_bytes) != 4) return std::nullopt;
      const auto count = static_cast<int64_t>(BigEndian(count_bytes, 4));
      if (count > (length - 16) / entry) return std::nullopt;
      std::string entries(static_cast<size_t>(count * entry), '\0');
      if (content.ReadAt(box + 16, entries.size(), entries.data()) != entries.size()) {
        return std::nullopt;
      }
      for (int64_t i = 0; i < count; ++i) {
        map.pointers.push_back(static_cast<int64_t>(
            BigEndian(entries.data() + i * entry, static_cast<size_t>(entry))));
      }
    } else if (std::memcmp(name, "tfhd", 4) == 0 && length >= 24) {
      char head[24];
      if (content.ReadAt(box, 24, head) == 24 && (head[11] & 1) != 0) {
        map.pointers.push_back(static_cast<int64_t>(BigEndian(head + 16, 8)));
      }
    } else if (std::memcmp(name, "tfra", 4) == 0 && length >= 24) {
      // A random-access entry holds a time, the offset of its moof box,
      // and three numbers of 1 to 4 bytes.
      std::string body(static_cast<size_t>(length - 8), '\0');
      if (content.ReadAt(box + 8, body.size(), body.data()) != body.size()) return std::nullopt;
      const size_t wide = body[0] == 1 ? 8 : 4;
      const auto sizes = static_cast<uint32_t>(BigEndian(body.data() + 8, 4));
      const size_t numbers = 3 + ((sizes >> 4) & 3) + ((sizes >> 2) & 3) + (sizes & 3);
      const auto count = static_cast<size_t>(BigEndian(body.data() + 12, 4));
      const size_t stride = 2 * wide + numbers;
      if (count > (body.size() - 16) / stride) return std::nullopt;
      for (size_t i = 0; i < count; ++i) {
        map.pointers.push_back(
            static_cast<int64_t>(BigEndian(body.data() + 16 + i * stride + wide, wide)));
      }
    } else if (IsMp4Path(name)) {
      levels.push_back({box + header_size, box + length});
    }
  }
  return map;
}

std::optional<AudioMap> Asf(Content& content) {
  char header[24];
  if (content.ReadAt(0, 24, header) != 24) return std::nullopt;
  const auto size = static_cast<int64_t>(LittleEndian64(header + 16));
  if (size < 30 || size > content.Size()) return std::nullopt;
  AudioMap map;
  map.runs.push_back(Whole(size, content.Size() - size));
  return map;
}

// RIFF (WAV, sizes little-endian) and IFF (AIFF, big-endian) chunks: the
// format and the sample data.
std::optional<AudioMap> Chunks(Content& content, bool little_endian, const char* format,
                               const char* data) {
  char head[12];
  if (content.ReadAt(0, 12, head) != 12) return std::nullopt;
  auto size_of = [&](const char* b) {
    return static_cast<int64_t>(little_endian ? LittleEndian32(b) : BigEndian(b, 4));
  };
  const int64_t end = content.Size();
  AudioMap map;
  map.sized = size_of(head + 4) + 8 == end;
  Run format_run;
  Run data_run;
  for (int64_t at = 12; at + 8 <= end;) {
    char chunk[8];
    if (content.ReadAt(at, 8, chunk) != 8) break;
    const int64_t size = size_of(chunk + 4);
    const int64_t length = std::min(size, end - at - 8);
    if (format_run.spans.empty() && std::memcmp(chunk, format, 4) == 0) {
      format_run = Whole(at + 8, length);
    } else if (data_run.spans.empty() && std::memcmp(chunk, data, 4) == 0) {
      data_run = Whole(at + 8, length);
    }
    at += 8 + size + (size & 1);
  }
  if (format_run.spans.empty() || data_run.spans.empty()) return std::nullopt;
  map.runs.push_back(std::move(format_run));
  map.runs.push_back(std::move(data_run));
  return map;
}

std::optional<AudioMap> WavPack(Content& content) {
  int64_t at = 0;
  char header[8];
  while (content.ReadAt(at, 8, header) == 8 && std::memcmp(header, "wvpk", 4) == 0) {
    at += 8 + LittleEndian32(header + 4);
  }
  if (at == 0 || at > TrailingTagsStart(content, content.Size())) return std::nullopt;
  AudioMap map;
  map.runs.push_back(Whole(0, at));
  return map;
}

// Whether the length bytes at after_at in after are the bytes at before_at
// in before. Bytes that are the file's own, not moved in between, are the
// same without being read.
bool SameBytes(OverlayStream& after, int64_t after_at, FileSource& before, int64_t before_at,
               int64_t length) {
  const PieceMap& pieces = after.Pieces();
  std::string a;
  std::string b;
  while (length > 0) {
    auto it = pieces.upper_bound(after_at);
    if (it == pieces.begin()) return false;
    --it;
    const Piece& piece = it->second;
    const int64_t into = after_at - it->first;
    if (into >= piece.length) return false;
    const int64_t n = std::min(length, piece.length - into);
    const bool untouched = piece.kind == Piece::Kind::File && piece.source + into == before_at;
    for (int64_t done = 0; !untouched && done < n;) {
      const size_t chunk = static_cast<size_t>(std::min<int64_t>(n - done, 64 * 1024));
      a.resize(chunk);
      b.resize(chunk);
      if (after.ReadAt(after_at + done, chunk, a.data()) != chunk ||
          before.ReadAt(before_at + done, chunk, b.data()) != chunk || a != b) {
        return false;
      }
      done += static_cast<int64_t>(chunk);
    }
    after_at += n;
    before_at += n;
    length -= n;
  }
  return true;
}

bool SameRun(OverlayStream& after, const Run& x, FileSource& before, const Run& y) {
  if (x.Length() != y.Length() || x.complete != y.complete) return false;
  size_t i = 0;
  size_t j = 0;
  int64_t into_x = 0;
  int64_t into_y = 0;
  while (i < x.spans.size() && j < y.spans.size()) {
    const int64_t n = std::min(x.spans[i].length - into_x, y.spans[j].length - into_y);
    if (!SameBytes(after, x.spans[i].offset + into_x, before, y.spans[j].offset + into_y, n)) {
      return false;
    }
    into_x += n;
    into_y += n;
    if (into_x == x.spans[i].length) ++i, into_x = 0;
    if (into_y == y.spans[j].length) ++j, into_y = 0;
  }
  return true;
}

// Where the byte at position in the file stands in the new content, or -1
// when it is not there.
int64_t Moved(const PieceMap& pieces, int64_t position) {
  for (const auto& [at, piece] : pieces) {
    if (piece.kind == Piece::Kind::File && position >= piece.source &&
        position < piece.source + piece.length) {
      return at + position - piece.source;
    }
  }
  return -1;
}

// How many bytes at the end of the new content are the end of the file,
// moved as one.
int64_t SharedTail(const OverlayStream& after, int64_t before_size) {
  const PieceMap& pieces = after.Pieces();
  int64_t tail = 0;
  int64_t expected_end = before_size;
  int64_t shift = 0;
  for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
    const Piece& piece = it->second;
    if (piece.kind != Piece::Kind::File || piece.source + piece.length != expected_end) break;
    if (tail == 0) shift = it->first - piece.source;
    if (it->first - piece.source != shift) break;
    tail += piece.length;
    expected_end = piece.source;
  }
  return tail;
}

bool SameMaps(OverlayStream& after, const AudioMap& x, FileSource& before, const AudioMap& y) {
  if (x.runs.size() != y.runs.size() || x.pointers.size() != y.pointers.size() ||
      x.granules != y.granules || (y.sized && !x.sized)) {
    return false;
  }
  for (size_t i = 0; i < x.runs.size(); ++i) {
    if (!SameRun(after, x.runs[i], before, y.runs[i])) return false;
  }
  for (size_t i = 0; i < x.pointers.size(); ++i) {
    if (x.pointers[i] != Moved(after.Pieces(), y.pointers[i])) return false;
  }
  return true;
}

}  // namespace

Container ContainerOf(const TagLib::File& file) {
  if (Is<TagLib::MPEG::File>(file)) return Container::Mpeg;
  if (Is<TagLib::FLAC::File>(file)) return Container::Flac;
  if (Is<TagLib::Ogg::FLAC::File>(file)) return Container::OggFlac;
  if (Is<TagLib::Ogg::Vorbis::File>(file) || Is<TagLib::Ogg::Opus::File>(file) ||
      Is<TagLib::Ogg::Speex::File>(file)) {
    return Container::Ogg;
  }
  if (Is<TagLib::MP4::File>(file)) return Container::Mp4;
  if (Is<TagLib::ASF::File>(file)) return Container::Asf;
  if (Is<TagLib::RIFF::WAV::File>(file)) return Container::Wav;
  if (Is<TagLib::RIFF::AIFF::File>(file)) return Container::Aiff;
  if (Is<TagLib::WavPack::File>(file)) return Container::WavPack;
  if (Is<TagLib::APE::File>(file) || Is<TagLib::MPC::File>(file) ||
      Is<TagLib::TrueAudio::File>(file)) {
    return Container::Bare;
  }
  return Container::Unknown;
}

std::optional<AudioMap> LocateAudio(Container container, Content& content) {
  switch (container) {
    case Container::Mpeg: return Mpeg(content);
    case Container::Flac: return Flac(content);
    case Container::Ogg:
    case Container::OggFlac: return Ogg(container, content, INT64_MAX);
    case Container::Mp4: return Mp4(content);
    case Container::Asf: return Asf(content);
    case Container::Wav: return Chunks(content, true, "fmt ", "data");
    case Container::Aiff: return Chunks(content, false, "COMM", "SSND");
    case Container::WavPack: return WavPack(content);
    case Container::Bare: return Between(content, Id3v2At(content, 0).End());
    case Container::Unknown: break;
  }
  return std::nullopt;
}

bool KeepsAudio(Container container, OverlayStream& after, FileSource& before,
                std::optional<AudioMap>& old) {
  if (container == Container::Ogg || container == Container::OggFlac) {
    // Where the new content ends in the file's own last pages, moved as a
    // whole, the walk stops at them: they hold the same packets.
    const int64_t tail = SharedTail(after, before.Size());
    if (tail > 0) {
      old = Ogg(container, before, before.Size() - tail);
      std::optional<AudioMap> now = Ogg(container, after, after.Size() - tail);
      if (old && now) return SameMaps(after, *now, before, *old);
    }
  }
  old = LocateAudio(container, before);
  // An MP4 file points at its media data from its boxes: saved without
  // knowing where, TagLib may leave pointers behind (it moves the base
  // offsets of the first fragment only).
  if (!old) return container != Container::Mp4;
  const std::optional<AudioMap> now = LocateAudio(container, after);
  return now && SameMaps(after, *now, before, *old);
}

}  // namespace orvell::io
