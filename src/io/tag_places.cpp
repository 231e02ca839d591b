#include "io/tag_places.h"

#include <algorithm>
#include <cstring>

#include "io/mp4_walk.h"

namespace orvell::io {

namespace {

bool Matches(Content& content, int64_t offset, const char* magic) {
  const size_t size = std::strlen(magic);
  char bytes[8];
  return content.ReadAt(offset, size, bytes) == size && std::memcmp(bytes, magic, size) == 0;
}

bool IsFrameSync(unsigned char first, unsigned char second) {
  return first == 0xFF && second != 0xFF && (second & 0xE0) == 0xE0;
}

// The length of the MPEG frame whose header is bytes, 0 when the header is
// not valid; TagLib's rules.
int FrameLength(const unsigned char* h) {
  if (!IsFrameSync(h[0], h[1])) return 0;
  const int version_bits = (h[1] >> 3) & 3;
  if (version_bits == 1) return 0;
  const int version = version_bits == 3 ? 0 : version_bits == 2 ? 1 : 2;  // 1, 2, 2.5
  const int layer_bits = (h[1] >> 1) & 3;
  if (layer_bits == 0) return 0;
  const int layer = 4 - layer_bits;  // 1, 2 or 3
  static const int kBitrates[2][3][16] = {
      {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
       {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
       {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
      {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
       {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};
  static const int kRates[3][4] = {
      {44100, 48000, 32000, 0}, {22050, 24000, 16000, 0}, {11025, 12000, 8000, 0}};
  static const int kSamples[3][2] = {{384, 384}, {1152, 1152}, {1152, 576}};
  const int version_index = version == 0 ? 0 : 1;
  const int bitrate = kBitrates[version_index][layer - 1][(h[2] >> 4) & 0x0F];
  const int rate = kRates[version][(h[2] >> 2) & 3];
  if (bitrate == 0 || rate == 0) return 0;
  int length = kSamples[layer - 1][version_index] * bitrate * 125 / rate;
  if ((h[2] & 0x02) != 0) length += layer == 1 ? 4 : 1;
  return length;
}

// TagLib's test for the first real frame: a valid header whose frame is
// followed by a header of the same kind.
bool ValidFrameAt(Content& content, int64_t offset) {
  unsigned char header[4];
  if (content.ReadAt(offset, 4, reinterpret_cast<char*>(header)) != 4) return false;
  const int length = FrameLength(header);
  if (length == 0) return false;
  unsigned char next[4];
  if (content.ReadAt(offset + length, 4, reinterpret_cast<char*>(next)) != 4) return false;
  constexpr uint32_t kMask = 0xfffe0c00;
  auto word = [](const unsigned char* b) {
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
  };
  return (word(header) & kMask) == (word(next) & kMask);
}

}  // namespace

std::string ExtensionOf(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return "";
  std::string extension(path.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension;
}

uint32_t SynchSafe(const unsigned char* b) {
  if (((b[0] | b[1] | b[2] | b[3]) & 0x80) != 0) {
    return uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
  }
  return uint32_t(b[0]) << 21 | uint32_t(b[1]) << 14 | uint32_t(b[2]) << 7 | b[3];
}

uint32_t LittleEndian32(const char* b) {
  const auto* u = reinterpret_cast<const unsigned char*>(b);
  return uint32_t(u[0]) | uint32_t(u[1]) << 8 | uint32_t(u[2]) << 16 | uint32_t(u[3]) << 24;
}

uint64_t LittleEndian64(const char* b) {
  return uint64_t(LittleEndian32(b)) | uint64_t(LittleEndian32(b + 4)) << 32;
}

Span Id3v2At(Content& content, int64_t offset, int64_t* declared) {
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

Span MpegId3v2(Content& content, int64_t* declared) {
  if (declared != nullptr) *declared = 0;
  if (Matches(content, 0, "ID3")) return Id3v2At(content, 0, declared);
  if (ValidFrameAt(content, 0)) return {0, 0};
  // TagLib looks through whatever comes first, up to the first real frame.
  constexpr size_t kStep = 1024;
  std::string buffer(kStep, '\0');
  unsigned char last[2] = {0, 0};  // the two bytes before the buffer
  for (int64_t position = 0; position < content.Size(); position += kStep) {
    const size_t got = content.ReadAt(position, kStep, buffer.data());
    for (size_t i = 0; i < got; ++i) {
      const unsigned char byte = static_cast<unsigned char>(buffer[i]);
      const int64_t here = position + static_cast<int64_t>(i);
      if (IsFrameSync(last[1], byte) && ValidFrameAt(content, here - 1)) return {0, 0};
      if (last[0] == 'I' && last[1] == 'D' && byte == '3') return Id3v2At(content, here - 2, declared);
      last[0] = last[1];
      last[1] = byte;
    }
  }
  return {0, 0};
}

std::vector<Span> ChunkId3v2(Content& content) {
  std::vector<Span> tags;
  char head[16];
  if (content.ReadAt(0, 16, head) != 16) return tags;
  const int64_t end = content.Size();
  auto is_id3 = [](const char* id) {
    return std::memcmp(id, "ID3 ", 4) == 0 || std::memcmp(id, "id3 ", 4) == 0;
  };
  const bool riff = std::memcmp(head, "RIFF", 4) == 0 || std::memcmp(head, "RF64", 4) == 0;
  if (riff || std::memcmp(head, "FORM", 4) == 0) {
    for (int64_t at = 12; at + 8 <= end;) {
      char chunk[8];
      if (content.ReadAt(at, 8, chunk) != 8) break;
      const int64_t size = riff ? LittleEndian32(chunk + 4)
                                : static_cast<int64_t>(BigEndian(chunk + 4, 4));
      if (is_id3(chunk)) tags.push_back(Id3v2At(content, at + 8));
      at += 8 + size + (size & 1);
    }
  } else if (std::memcmp(head, "FRM8", 4) == 0) {
    // DSDIFF: 64-bit sizes; ID3 chunks at the top level and in PROP.
    std::vector<std::pair<int64_t, int64_t>> ranges{{16, end}};
    for (size_t r = 0; r < ranges.size(); ++r) {
      for (int64_t at = ranges[r].first; at + 12 <= ranges[r].second;) {
        char chunk[12];
        if (content.ReadAt(at, 12, chunk) != 12) break;
        const auto size = static_cast<int64_t>(BigEndian(chunk + 4, 8));
        if (size < 0 || size > end) break;
        if (is_id3(chunk)) tags.push_back(Id3v2At(content, at + 12));
        if (r == 0 && std::memcmp(chunk, "PROP", 4) == 0) {
          ranges.emplace_back(at + 16, std::min(end, at + 12 + size));
        }
        at += 12 + size + (size & 1);
      }
    }
  } else if (std::memcmp(head, "DSD ", 4) == 0) {
    char pointer[8];
    if (content.ReadAt(20, 8, pointer) == 8) {
      const auto at = static_cast<int64_t>(LittleEndian64(pointer));
      if (at > 0 && at < end) tags.push_back(Id3v2At(content, at));
    }
  }
  return tags;
}

int64_t TrailingTagsStart(Content& content, int64_t end) {
  if (end >= 128 && Matches(content, end - 128, "TAG")) end -= 128;
  char footer[32];
  if (end >= 32 && content.ReadAt(end - 32, 32, footer) == 32 &&
      std::memcmp(footer, "APETAGEX", 8) == 0) {
    const int64_t size = LittleEndian32(footer + 12);  // items and footer
    const bool header = (LittleEndian32(footer + 20) & 0x80000000u) != 0;
    const int64_t whole = size + (header ? 32 : 0);
    if (whole <= end) end -= whole;
  }
  return end;
}

}  // namespace orvell::io
