#include "support/audio_payload.h"

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>

namespace orvell_test {
namespace {

[[noreturn]] void Broken(const std::string& what) { throw std::runtime_error(what); }

uint32_t Be32(const std::string& b, size_t at) {
  if (at + 4 > b.size()) Broken("truncated at " + std::to_string(at));
  return (uint32_t(uint8_t(b[at])) << 24) | (uint32_t(uint8_t(b[at + 1])) << 16) |
         (uint32_t(uint8_t(b[at + 2])) << 8) | uint32_t(uint8_t(b[at + 3]));
}
uint64_t Be64(const std::string& b, size_t at) {
  return (uint64_t(Be32(b, at)) << 32) | Be32(b, at + 4);
}
uint32_t Le32(const std::string& b, size_t at) {
  if (at + 4 > b.size()) Broken("truncated at " + std::to_string(at));
  return uint32_t(uint8_t(b[at])) | (uint32_t(uint8_t(b[at + 1])) << 8) |
         (uint32_t(uint8_t(b[at + 2])) << 16) | (uint32_t(uint8_t(b[at + 3])) << 24);
}
bool At(const std::string& b, size_t at, const char* magic) {
  return at <= b.size() && b.compare(at, std::char_traits<char>::length(magic), magic) == 0;
}
std::string Slice(const std::string& b, size_t at, uint64_t length) {
  if (at > b.size() || length > b.size() - at) Broken("region past the end at " + std::to_string(at));
  return b.substr(at, static_cast<size_t>(length));
}

// A leading ID3v2 tag: its whole size, header and footer included.
size_t Id3v2Size(const std::string& b, size_t at) {
  if (!At(b, at, "ID3") || at + 10 > b.size()) return 0;
  const uint32_t size = (uint32_t(b[at + 6] & 0x7f) << 21) | (uint32_t(b[at + 7] & 0x7f) << 14) |
                        (uint32_t(b[at + 8] & 0x7f) << 7) | uint32_t(b[at + 9] & 0x7f);
  const bool footer = (uint8_t(b[at + 5]) & 0x10) != 0;
  return 10 + size + (footer ? 10 : 0);
}

// The end of the audio once trailing ID3v1 and APEv2 tags are taken off.
size_t EndBeforeTrailingTags(const std::string& b, size_t end) {
  if (end >= 128 && At(b, end - 128, "TAG")) end -= 128;
  if (end >= 32 && At(b, end - 32, "APETAGEX")) {
    const uint32_t size = Le32(b, end - 32 + 12);  // items and footer
    const bool header = (Le32(b, end - 32 + 20) & 0x80000000u) != 0;
    const uint64_t whole = uint64_t(size) + (header ? 32 : 0);
    if (whole > end) Broken("APEv2 tag larger than the file");
    end -= static_cast<size_t>(whole);
  }
  return end;
}

// The length of the MPEG audio frame whose header starts at at; 0 when no
// valid header starts there (no sync, a reserved version, layer, bitrate
// or sample rate, or a free-format bitrate).
size_t MpegFrameLength(const std::string& b, size_t at) {
  if (at + 4 > b.size()) return 0;
  const uint8_t b1 = uint8_t(b[at + 1]);
  const uint8_t b2 = uint8_t(b[at + 2]);
  // 0xff as the second byte is a valid header in theory, but far more
  // often a run of filler bytes.
  if (uint8_t(b[at]) != 0xff || b1 == 0xff || (b1 & 0xe0) != 0xe0) return 0;
  const int version = (b1 >> 3) & 3;  // 3: MPEG-1, 2: MPEG-2, 0: MPEG-2.5
  const int layer = 4 - ((b1 >> 1) & 3);  // 1, 2 or 3; 4 is reserved
  if (version == 1 || layer == 4) return 0;
  static const int kBitrates[2][3][16] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
  static const int kSampleRates[4][3] = {
      {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};
  const int kbps = kBitrates[version == 3 ? 0 : 1][layer - 1][b2 >> 4];
  const int rate_index = (b2 >> 2) & 3;
  if (kbps == 0 || rate_index == 3) return 0;
  const int samples = layer == 1 ? 384 : layer == 2 || version == 3 ? 1152 : 576;
  const bool padded = (b2 & 2) != 0;
  return static_cast<size_t>(samples / 8 * kbps * 1000 / kSampleRates[version][rate_index]) +
         (padded ? (layer == 1 ? 4 : 1) : 0);
}

// MPEG audio starts at its first frame whose header is valid and is
// followed, one frame length on, by a header of the same version, layer,
// sample rate and channel mode: what comes before it is not audio. The
// first ID3v2 tag met before that frame, also after filler bytes, is the
// file's tag to a reader too: whatever its bytes look like, none of them
// is audio.
AudioParts Mpeg(const std::string& b) {
  const size_t end = EndBeforeTrailingTags(b, b.size());
  constexpr uint32_t kSameKind = 0xfffe0c00;
  bool tag_met = false;
  for (size_t at = 0; at + 4 <= end; ++at) {
    if (!tag_met && Id3v2Size(b, at) > 0) {
      tag_met = true;
      at += Id3v2Size(b, at) - 1;
      continue;
    }
    const size_t length = MpegFrameLength(b, at);
    if (length == 0 || at + length + 4 > b.size()) continue;
    if ((Be32(b, at) & kSameKind) == (Be32(b, at + length) & kSameKind)) {
      return {{"frames", Slice(b, at, end - at)}};
    }
  }
  Broken("no MPEG frame");
}

AudioParts Flac(const std::string& b) {
  size_t pos = Id3v2Size(b, 0);
  if (!At(b, pos, "fLaC")) Broken("no fLaC marker");
  pos += 4;
  AudioParts parts;
  bool last = false;
  while (!last) {
    const uint32_t header = Be32(b, pos);
    last = (header & 0x80000000u) != 0;
    const uint32_t type = (header >> 24) & 0x7f;
    const uint32_t length = header & 0xffffff;
    if (type == 0) parts.emplace_back("STREAMINFO", Slice(b, pos + 4, length));
    if (type == 127) Broken("invalid metadata block type");
    pos += 4 + length;
  }
  const size_t end = EndBeforeTrailingTags(b, b.size());
  if (parts.empty()) Broken("no STREAMINFO");
  if (pos + 2 > end || uint8_t(b[pos]) != 0xff || (uint8_t(b[pos + 1]) & 0xfe) != 0xf8) {
    Broken("no FLAC frame sync after the metadata");
  }
  parts.emplace_back("frames", Slice(b, pos, end - pos));
  return parts;
}

uint32_t OggCrc(const std::string& page) {
  uint32_t crc = 0;
  for (size_t i = 0; i < page.size(); ++i) {
    // The CRC field itself counts as zeros.
    const uint8_t byte = (i >= 22 && i < 26) ? 0 : uint8_t(page[i]);
    crc ^= uint32_t(byte) << 24;
    for (int k = 0; k < 8; ++k) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04c11db7u : crc << 1;
  }
  return crc;
}

// Every packet of the stream but its comments, which Vorbis, Opus and
// Speex keep in the second packet and FLAC in Ogg in the metadata block of
// type 4 (the low 7 bits of its first byte) among the packets between the
// stream header and the first frame (which starts with the sync byte
// 0xff). The codec is told by the stream header, as a decoder tells it,
// whatever the file's extension.
AudioParts Ogg(const std::string& b) {
  std::vector<std::string> packets;
  std::string partial;
  std::vector<uint64_t> granules;
  size_t pos = 0;
  uint32_t serial = 0;
  while (pos < b.size()) {
    if (!At(b, pos, "OggS") || pos + 27 > b.size()) Broken("no Ogg page at " + std::to_string(pos));
    const uint32_t page_serial = Le32(b, pos + 14);
    if (pos == 0) serial = page_serial;
    if (page_serial != serial) Broken("a second logical stream");
    const uint64_t granule = uint64_t(Le32(b, pos + 6)) | (uint64_t(Le32(b, pos + 10)) << 32);
    const size_t segments = uint8_t(b[pos + 26]);
    const std::string lacing = Slice(b, pos + 27, segments);
    size_t body = 0;
    for (char lace : lacing) body += uint8_t(lace);
    const std::string page = Slice(b, pos, 27 + segments + body);
    if (OggCrc(page) != Le32(b, pos + 22)) Broken("bad CRC on the page at " + std::to_string(pos));
    size_t at = 27 + segments;
    for (char lace : lacing) {
      partial += page.substr(at, uint8_t(lace));
      at += uint8_t(lace);
      if (uint8_t(lace) < 255) {
        packets.push_back(partial);
        partial.clear();
      }
    }
    if (granule != 0) granules.push_back(granule);
    pos += page.size();
  }
  if (!partial.empty()) Broken("the last packet is unfinished");
  if (packets.empty()) Broken("no packets");
  const bool flac = packets[0].compare(0, 5, "\x7f" "FLAC") == 0;
  const size_t header_packets = flac || packets[0].compare(0, 8, "OpusHead") == 0 ? 2 : 3;
  if (packets.size() <= header_packets) Broken("no audio packets");
  AudioParts parts;
  bool frames = false;
  for (size_t i = 0; i < packets.size(); ++i) {
    const std::string& packet = packets[i];
    bool comment = i == 1;
    if (flac) {
      frames = frames || (i > 0 && !packet.empty() && uint8_t(packet[0]) == 0xff);
      comment = i > 0 && !frames && !packet.empty() && (packet[0] & 0x7f) == 4;
    }
    if (!comment) parts.emplace_back("packet " + std::to_string(i), packet);
  }
  std::string granule_list;
  for (uint64_t g : granules) granule_list += std::to_string(g) + " ";
  parts.emplace_back("granules", granule_list);
  return parts;
}

// An MP4 box: where it starts, and its payload.
struct Box {
  size_t start;
  size_t payload;
  uint64_t length;  // of the payload
};

// The boxes of one level of an MP4 file, by type, in file order.
using BoxMap = std::multimap<std::string, Box>;

// The boxes of one level, up to the first whose size does not fit what
// holds it: a decoder reads no further on that level (what it found by
// then, a movie box, a track, is all it needs).
BoxMap Boxes(const std::string& b, size_t at, size_t end) {
  BoxMap boxes;
  while (at + 8 <= end) {
    uint64_t size = Be32(b, at);
    const std::string type = b.substr(at + 4, 4);
    size_t header = 8;
    if (size == 1) {
      size = at + 16 <= end ? Be64(b, at + 8) : 0;
      header = 16;
    } else if (size == 0) {
      size = end - at;
    }
    if (size < header || size > end - at) break;
    boxes.emplace(type, Box{at, at + header, size - header});
    at += static_cast<size_t>(size);
  }
  return boxes;
}

const Box& Only(const BoxMap& boxes, const std::string& type) {
  if (boxes.count(type) != 1) Broken("expected one " + type + " box");
  return boxes.find(type)->second;
}

BoxMap Inside(const std::string& b, const Box& box) {
  return Boxes(b, box.payload, box.payload + static_cast<size_t>(box.length));
}

std::string Contents(const std::string& b, const Box& box) { return Slice(b, box.payload, box.length); }

// Reads sample bytes where the tables say they lie. Samples lie in media
// data, never inside the moov or moof boxes that describe them (a save
// rewrites those). Several tables may name the same bytes; more of them
// than the file holds means tables that overlap, which no real file has
// (and which could cost without end).
class SampleReader {
 public:
  SampleReader(const std::string& b, const BoxMap& top) : b_(b) {
    // A sample reaching into a box that describes the media (the movie,
    // a fragment, the random-access index) is no sample: a save rewrites
    // those boxes, and their offsets with them.
    for (const char* type : {"moov", "moof", "mfra"}) {
      for (auto it = top.lower_bound(type); it != top.upper_bound(type); ++it) {
        described_.emplace_back(it->second.start, it->second.payload + it->second.length);
      }
    }
  }

  void Add(uint64_t at, uint64_t length, std::string& samples) {
    if (at > b_.size()) Broken("samples past the end at " + std::to_string(at));
    for (const auto& [start, end] : described_) {
      if (length != 0 && at < end && start < at + length) {
        Broken("samples inside a moov, moof or mfra box at " + std::to_string(at));
      }
    }
    total_ += length;
    if (total_ > b_.size()) Broken("sample tables that overlap");
    samples += Slice(b_, static_cast<size_t>(at), length);
  }

 private:
  const std::string& b_;
  std::vector<std::pair<uint64_t, uint64_t>> described_;
  uint64_t total_ = 0;
};

std::string Samples(const std::string& b, const BoxMap& stbl, SampleReader& reader) {
  const size_t stsz = Only(stbl, "stsz").payload;
  const uint32_t fixed = Be32(b, stsz + 4);
  const uint32_t count = Be32(b, stsz + 8);
  auto sample_size = [&](uint32_t i) { return fixed != 0 ? fixed : Be32(b, stsz + 12 + 4 * i); };

  std::vector<uint64_t> chunks;
  if (stbl.count("co64") != 0) {
    const size_t co64 = Only(stbl, "co64").payload;
    for (uint32_t i = 0; i < Be32(b, co64 + 4); ++i) chunks.push_back(Be64(b, co64 + 8 + 8 * i));
  } else {
    const size_t stco = Only(stbl, "stco").payload;
    for (uint32_t i = 0; i < Be32(b, stco + 4); ++i) chunks.push_back(Be32(b, stco + 8 + 4 * i));
  }

  const size_t stsc = Only(stbl, "stsc").payload;
  const uint32_t runs = Be32(b, stsc + 4);
  std::string samples;
  uint32_t sample = 0;
  for (uint32_t r = 0; r < runs; ++r) {
    const uint32_t first_chunk = Be32(b, stsc + 8 + 12 * r);
    const uint32_t per_chunk = Be32(b, stsc + 8 + 12 * r + 4);
    const uint32_t next_chunk =
        r + 1 < runs ? Be32(b, stsc + 8 + 12 * (r + 1)) : static_cast<uint32_t>(chunks.size() + 1);
    if (next_chunk <= first_chunk) Broken("stsc runs out of order");
    for (uint32_t c = first_chunk; c < next_chunk; ++c) {
      if (c == 0 || c > chunks.size()) Broken("stsc names a chunk that does not exist");
      uint64_t offset = chunks[c - 1];
      for (uint32_t s = 0; s < per_chunk && sample < count; ++s, ++sample) {
        const uint32_t size = sample_size(sample);
        reader.Add(offset, size, samples);
        offset += size;
      }
    }
  }
  if (sample != count) Broken("the chunk table does not cover every sample");
  return samples;
}

// The samples of one movie fragment, per track fragment, found as a
// decoder finds them. Each track fragment's data starts at its base: the
// one its header (tfhd) gives, else the start of the moof box for the
// first track fragment or when the header says the base is the moof
// (flag 0x20000), else where the previous track fragment's data ended.
// Each run (trun) starts at the base plus its own data offset, or else
// where the run before it ended; its sample sizes come from the run, else
// the header's default, else the track's default in the movie's trex box.
void FragmentSamples(const std::string& b, const Box& moof, const std::string& name,
                     const std::map<uint32_t, uint32_t>& track_sizes, AudioParts& parts,
                     SampleReader& reader) {
  const BoxMap fragment = Inside(b, moof);
  uint64_t previous_end = moof.start;
  bool first = true;
  for (auto it = fragment.lower_bound("traf"); it != fragment.upper_bound("traf"); ++it) {
    const BoxMap traf = Inside(b, it->second);
    const Box& tfhd = Only(traf, "tfhd");
    const uint32_t flags = Be32(b, tfhd.payload) & 0xffffff;
    const uint32_t track = Be32(b, tfhd.payload + 4);
    size_t field = tfhd.payload + 8;
    uint64_t base = first || (flags & 0x20000) != 0 ? moof.start : previous_end;
    if ((flags & 0x1) != 0) {
      base = Be64(b, field);
      field += 8;
    }
    if ((flags & 0x2) != 0) field += 4;  // sample description index
    if ((flags & 0x8) != 0) field += 4;  // default duration
    std::optional<uint32_t> default_size;
    if ((flags & 0x10) != 0) {
      default_size = Be32(b, field);
      field += 4;
    } else if (track_sizes.count(track) != 0) {
      default_size = track_sizes.at(track);
    }
    if ((flags & 0x20) != 0) field += 4;  // default flags
    if (field > tfhd.payload + tfhd.length) Broken("a tfhd shorter than its flags say");

    std::string samples;
    uint64_t next = base;
    for (auto run = traf.lower_bound("trun"); run != traf.upper_bound("trun"); ++run) {
      const Box& trun = run->second;
      const uint32_t run_flags = Be32(b, trun.payload) & 0xffffff;
      const uint32_t count = Be32(b, trun.payload + 4);
      // Per sample: duration, size, flags, composition offset, as flagged.
      uint64_t entry = 0;
      for (uint32_t bit : {0x100u, 0x200u, 0x400u, 0x800u}) entry += (run_flags & bit) != 0 ? 4 : 0;
      size_t at = trun.payload + 8;
      const uint64_t needed = 8 + ((run_flags & 0x1) != 0 ? 4 : 0) + ((run_flags & 0x4) != 0 ? 4 : 0) +
                              count * entry;
      if (needed > trun.length) Broken("a trun shorter than its samples");
      if ((run_flags & 0x1) != 0) {
        next = base + static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(Be32(b, at))));
        at += 4;
      }
      if ((run_flags & 0x4) != 0) at += 4;  // first sample's flags
      const size_t size_at = at + ((run_flags & 0x100) != 0 ? 4 : 0);
      uint64_t length = 0;
      if ((run_flags & 0x200) != 0) {
        for (uint32_t i = 0; i < count; ++i) length += Be32(b, size_at + entry * i);
      } else if (default_size) {
        length = uint64_t(count) * *default_size;
      } else {
        Broken("no sample size for track " + std::to_string(track));
      }
      reader.Add(next, length, samples);
      next += length;
    }
    previous_end = next;
    first = false;
    parts.emplace_back(name + " track " + std::to_string(track) + " samples", samples);
  }
}

// Per track the mdhd, stsd and stts boxes and the samples of its tables;
// then, in a fragmented file, the samples of every fragment.
AudioParts Mp4(const std::string& b) {
  const BoxMap top = Boxes(b, 0, b.size());
  const BoxMap moov = Inside(b, Only(top, "moov"));
  AudioParts parts;
  SampleReader reader(b, top);
  int track = 0;
  for (auto it = moov.lower_bound("trak"); it != moov.upper_bound("trak"); ++it) {
    const std::string name = "track " + std::to_string(++track) + " ";
    const BoxMap mdia = Inside(b, Only(Inside(b, it->second), "mdia"));
    const BoxMap stbl = Inside(b, Only(Inside(b, Only(mdia, "minf")), "stbl"));
    parts.emplace_back(name + "mdhd", Contents(b, Only(mdia, "mdhd")));
    for (const char* type : {"stsd", "stts"}) parts.emplace_back(name + type, Contents(b, Only(stbl, type)));
    parts.emplace_back(name + "samples", Samples(b, stbl, reader));
  }
  if (parts.empty()) Broken("no track");

  std::map<uint32_t, uint32_t> track_sizes;  // track ID to default sample size
  if (moov.count("mvex") != 0) {
    const BoxMap mvex = Inside(b, Only(moov, "mvex"));
    for (auto it = mvex.lower_bound("trex"); it != mvex.upper_bound("trex"); ++it) {
      if (it->second.length < 24) Broken("a trex box too short");
      track_sizes[Be32(b, it->second.payload + 4)] = Be32(b, it->second.payload + 16);
    }
  }
  int fragment = 0;
  std::set<uint64_t> fragments;
  for (auto it = top.lower_bound("moof"); it != top.upper_bound("moof"); ++it) {
    FragmentSamples(b, it->second, "fragment " + std::to_string(++fragment), track_sizes, parts,
                    reader);
    fragments.insert(it->second.start);
  }
  // A player seeks through the random-access index: each entry names the
  // moof box to start from.
  if (top.count("mfra") != 0) {
    const BoxMap mfra = Inside(b, Only(top, "mfra"));
    for (auto it = mfra.lower_bound("tfra"); it != mfra.upper_bound("tfra"); ++it) {
      const size_t tfra = it->second.payload;
      const size_t wide = static_cast<uint8_t>(b.at(tfra)) == 1 ? 8 : 4;
      const uint32_t sizes = Be32(b, tfra + 8);
      const size_t numbers = 3 + ((sizes >> 4) & 3) + ((sizes >> 2) & 3) + (sizes & 3);
      const uint32_t count = Be32(b, tfra + 12);
      if (16 + uint64_t(count) * (2 * wide + numbers) > it->second.length) Broken("a tfra too short");
      for (uint32_t i = 0; i < count; ++i) {
        const size_t at = tfra + 16 + i * (2 * wide + numbers) + wide;
        const uint64_t moof = wide == 8 ? Be64(b, at) : Be32(b, at);
        if (fragments.count(moof) == 0) Broken("a random-access entry names no moof box");
      }
    }
  }
  return parts;
}

// RIFF (little-endian sizes) and IFF (big-endian sizes) chunk files.
AudioParts Chunks(const std::string& b, bool little_endian, const char* form,
                  const char* format_chunk, const char* data_chunk) {
  auto size_at = [&](size_t at) { return little_endian ? Le32(b, at) : Be32(b, at); };
  if (!At(b, 0, form)) Broken(std::string("no ") + form + " header");
  if (uint64_t(size_at(4)) + 8 != b.size()) Broken("the container size does not match the file");
  AudioParts parts;
  size_t pos = 12;
  while (pos + 8 <= b.size()) {
    const std::string id = b.substr(pos, 4);
    const uint32_t size = size_at(pos + 4);
    if (id == format_chunk || id == data_chunk) parts.emplace_back(id, Slice(b, pos + 8, size));
    pos += 8 + size + (size & 1);
  }
  if (pos != b.size()) Broken("chunks do not end with the file");
  if (parts.size() != 2) Broken("expected one format and one data chunk");
  return parts;
}

AudioParts WavPack(const std::string& b) {
  AudioParts parts;
  size_t pos = 0;
  while (At(b, pos, "wvpk")) {
    const uint32_t size = Le32(b, pos + 4);
    parts.emplace_back("block " + std::to_string(parts.size()), Slice(b, pos, uint64_t(size) + 8));
    pos += size + 8;
  }
  if (parts.empty()) Broken("no WavPack block");
  if (EndBeforeTrailingTags(b, b.size()) != pos) Broken("bytes after the blocks are no tag");
  return parts;
}

// Monkey's Audio: everything between a leading ID3v2 tag and the trailing
// tags, which must start with its descriptor.
AudioParts MonkeysAudio(const std::string& b) {
  const size_t start = Id3v2Size(b, 0);
  const size_t end = EndBeforeTrailingTags(b, b.size());
  if (!At(b, start, "MAC ") || start > end) Broken("no Monkey's Audio descriptor");
  return {{"stream", Slice(b, start, end - start)}};
}

// ASF: everything after the header object (the data object and the
// indexes); the header object's size must lie within the file.
AudioParts Asf(const std::string& b) {
  static const char kHeaderGuid[] = "\x30\x26\xb2\x75\x8e\x66\xcf\x11\xa6\xd9\x00\xaa\x00\x62\xce\x6c";
  if (b.compare(0, 16, kHeaderGuid, 16) != 0) Broken("no ASF header object");
  const uint64_t size = Le32(b, 16) | (uint64_t(Le32(b, 20)) << 32);
  if (size < 30 || size > b.size()) Broken("the header object runs past the end");
  static const char kDataGuid[] = "\x36\x26\xb2\x75\x8e\x66\xcf\x11\xa6\xd9\x00\xaa\x00\x62\xce\x6c";
  if (b.compare(static_cast<size_t>(size), 16, kDataGuid, 16) != 0) Broken("no data object after the header");
  return {{"data and indexes", b.substr(static_cast<size_t>(size))}};
}

}  // namespace

void FixOggChecksums(std::string& bytes) {
  for (size_t pos = 0; At(bytes, pos, "OggS") && pos + 27 <= bytes.size();) {
    const size_t segments = uint8_t(bytes[pos + 26]);
    size_t length = 27 + segments;
    for (char lace : Slice(bytes, pos + 27, segments)) length += uint8_t(lace);
    const uint32_t crc = OggCrc(Slice(bytes, pos, length));
    for (size_t i = 0; i < 4; ++i) bytes[pos + 22 + i] = static_cast<char>(crc >> (8 * i));
    pos += length;
  }
}

AudioParts AudioPayload(const std::string& bytes, const std::string& extension) {
  if (extension == "mp3") return Mpeg(bytes);
  if (extension == "flac") return Flac(bytes);
  if (extension == "ogg" || extension == "opus" || extension == "oga") return Ogg(bytes);
  if (extension == "m4a" || extension == "mp4") return Mp4(bytes);
  if (extension == "wav") return Chunks(bytes, true, "RIFF", "fmt ", "data");
  if (extension == "aiff") return Chunks(bytes, false, "FORM", "COMM", "SSND");
  if (extension == "wv") return WavPack(bytes);
  if (extension == "ape") return MonkeysAudio(bytes);
  if (extension == "wma") return Asf(bytes);
  Broken("no audio reader for ." + extension);
}

}  // namespace orvell_test
