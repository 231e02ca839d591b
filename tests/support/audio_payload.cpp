#include "support/audio_payload.h"

#include <cstdint>
#include <map>
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
  return b.compare(at, std::char_traits<char>::length(magic), magic) == 0;
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

AudioParts Mpeg(const std::string& b) {
  const size_t start = Id3v2Size(b, 0);
  const size_t end = EndBeforeTrailingTags(b, b.size());
  if (start + 2 > end) Broken("no MPEG audio");
  if (uint8_t(b[start]) != 0xff || (uint8_t(b[start + 1]) & 0xe0) != 0xe0) {
    Broken("no MPEG frame sync after the ID3v2 tag");
  }
  return {{"frames", Slice(b, start, end - start)}};
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

AudioParts Ogg(const std::string& b, size_t header_packets) {
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
  if (packets.size() <= header_packets) Broken("no audio packets");
  AudioParts parts;
  for (size_t i = 0; i < packets.size(); ++i) {
    if (i != 1) parts.emplace_back("packet " + std::to_string(i), packets[i]);  // 1: comments
  }
  std::string granule_list;
  for (uint64_t g : granules) granule_list += std::to_string(g) + " ";
  parts.emplace_back("granules", granule_list);
  return parts;
}

// The boxes of one level of an MP4 file: type to (payload start, size).
std::multimap<std::string, std::pair<size_t, uint64_t>> Boxes(const std::string& b, size_t at,
                                                               size_t end) {
  std::multimap<std::string, std::pair<size_t, uint64_t>> boxes;
  while (at + 8 <= end) {
    uint64_t size = Be32(b, at);
    const std::string type = b.substr(at + 4, 4);
    size_t header = 8;
    if (size == 1) {
      size = Be64(b, at + 8);
      header = 16;
    } else if (size == 0) {
      size = end - at;
    }
    if (size < header || size > end - at) Broken("bad size of box " + type);
    boxes.emplace(type, std::make_pair(at + header, size - header));
    at += static_cast<size_t>(size);
  }
  if (at != end) Broken("trailing bytes after the boxes");
  return boxes;
}

std::pair<size_t, uint64_t> Only(const std::multimap<std::string, std::pair<size_t, uint64_t>>& boxes,
                                 const std::string& type) {
  if (boxes.count(type) != 1) Broken("expected one " + type + " box");
  return boxes.find(type)->second;
}

using BoxMap = std::multimap<std::string, std::pair<size_t, uint64_t>>;

BoxMap Inside(const std::string& b, const std::pair<size_t, uint64_t>& box) {
  return Boxes(b, box.first, box.first + static_cast<size_t>(box.second));
}

std::string Samples(const std::string& b, const BoxMap& stbl) {
  const size_t stsz = Only(stbl, "stsz").first;
  const uint32_t fixed = Be32(b, stsz + 4);
  const uint32_t count = Be32(b, stsz + 8);
  auto sample_size = [&](uint32_t i) { return fixed != 0 ? fixed : Be32(b, stsz + 12 + 4 * i); };

  std::vector<uint64_t> chunks;
  if (stbl.count("co64") != 0) {
    const size_t co64 = Only(stbl, "co64").first;
    for (uint32_t i = 0; i < Be32(b, co64 + 4); ++i) chunks.push_back(Be64(b, co64 + 8 + 8 * i));
  } else {
    const size_t stco = Only(stbl, "stco").first;
    for (uint32_t i = 0; i < Be32(b, stco + 4); ++i) chunks.push_back(Be32(b, stco + 8 + 4 * i));
  }

  const size_t stsc = Only(stbl, "stsc").first;
  const uint32_t runs = Be32(b, stsc + 4);
  std::string samples;
  uint32_t sample = 0;
  for (uint32_t r = 0; r < runs; ++r) {
    const uint32_t first_chunk = Be32(b, stsc + 8 + 12 * r);
    const uint32_t per_chunk = Be32(b, stsc + 8 + 12 * r + 4);
    const uint32_t next_chunk =
        r + 1 < runs ? Be32(b, stsc + 8 + 12 * (r + 1)) : static_cast<uint32_t>(chunks.size() + 1);
    for (uint32_t c = first_chunk; c < next_chunk; ++c) {
      if (c == 0 || c > chunks.size()) Broken("stsc names a chunk that does not exist");
      uint64_t offset = chunks[c - 1];
      for (uint32_t s = 0; s < per_chunk && sample < count; ++s, ++sample) {
        const uint32_t size = sample_size(sample);
        samples += Slice(b, static_cast<size_t>(offset), size);
        offset += size;
      }
    }
  }
  if (sample != count) Broken("the chunk table does not cover every sample");
  return samples;
}

AudioParts Mp4(const std::string& b) {
  const BoxMap top = Boxes(b, 0, b.size());
  const BoxMap moov = Inside(b, Only(top, "moov"));
  AudioParts parts;
  int track = 0;
  for (auto it = moov.lower_bound("trak"); it != moov.upper_bound("trak"); ++it) {
    const std::string name = "track " + std::to_string(++track) + " ";
    const BoxMap mdia = Inside(b, Only(Inside(b, it->second), "mdia"));
    const BoxMap stbl = Inside(b, Only(Inside(b, Only(mdia, "minf")), "stbl"));
    for (const char* type : {"mdhd"}) {
      parts.emplace_back(name + type, Slice(b, Only(mdia, type).first, Only(mdia, type).second));
    }
    for (const char* type : {"stsd", "stts"}) {
      parts.emplace_back(name + type, Slice(b, Only(stbl, type).first, Only(stbl, type).second));
    }
    parts.emplace_back(name + "samples", Samples(b, stbl));
  }
  if (parts.empty()) Broken("no track");
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

AudioParts AudioPayload(const std::string& bytes, const std::string& extension) {
  if (extension == "mp3") return Mpeg(bytes);
  if (extension == "flac") return Flac(bytes);
  if (extension == "ogg") return Ogg(bytes, 3);
  if (extension == "opus") return Ogg(bytes, 2);
  if (extension == "m4a") return Mp4(bytes);
  if (extension == "wav") return Chunks(bytes, true, "RIFF", "fmt ", "data");
  if (extension == "aiff") return Chunks(bytes, false, "FORM", "COMM", "SSND");
  if (extension == "wv") return WavPack(bytes);
  if (extension == "ape") return MonkeysAudio(bytes);
  if (extension == "wma") return Asf(bytes);
  Broken("no audio reader for ." + extension);
}

}  // namespace orvell_test
