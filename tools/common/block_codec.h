// Client-side helpers for the two bulk blocks of orvell.h: decoding the
// read block of OV_ReadTags and encoding the write block of OV_WriteTags.
// Header-only C++17; it needs nothing but the standard library, so any C++
// host (the command-line tool, the tests, the benchmarks) can use it.
#ifndef ORVELL_TOOLS_COMMON_BLOCK_CODEC_H
#define ORVELL_TOOLS_COMMON_BLOCK_CODEC_H

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace orvell_blocks {

constexpr size_t kReadFields = 17;
constexpr size_t kWriteRecords = 13;

// Field positions, shared by both blocks (write record i is field i).
enum Field : size_t {
  kTitle, kArtist, kAlbumArtist, kAlbum, kGenre, kComment, kComposer, kConductor,
  kYear, kTrack, kTrackTotal, kDisc, kDiscTotal,
  kDuration, kBitrate, kSampleRate, kChannels,
};

// snake_case names of the fields, in order.
inline constexpr std::array<const char*, kReadFields> kFieldNames = {
    "title",    "artist", "album_artist", "album",      "genre",       "comment",
    "composer", "conductor", "year",      "track",      "track_total", "disc",
    "disc_total", "duration", "bitrate",  "sample_rate", "channels"};

inline bool IsTextField(size_t index) { return index < kYear; }

// The 17 fields of a read block, as raw bytes (numbers in decimal).
using ReadFields = std::array<std::string, kReadFields>;
// The same, pointing into the block they were decoded from.
using ReadFieldViews = std::array<std::string_view, kReadFields>;

// Decodes a read block of exactly `block.size()` bytes into views of its
// bytes. Returns false when the block is not 17 well-formed fields with
// nothing after the last.
inline bool DecodeReadBlock(std::string_view block, ReadFieldViews& fields) {
  size_t pos = 0;
  for (size_t i = 0; i < kReadFields; ++i) {
    size_t length = 0;
    const size_t start = pos;
    while (pos < block.size() && block[pos] >= '0' && block[pos] <= '9') {
      if (length > (block.size() - (block[pos] - '0')) / 10) return false;
      length = length * 10 + static_cast<size_t>(block[pos] - '0');
      ++pos;
    }
    const size_t digits = pos - start;
    if (digits == 0 || (digits > 1 && block[start] == '0')) return false;
    if (pos >= block.size() || block[pos] != ':') return false;
    ++pos;
    if (length > block.size() - pos) return false;
    fields[i] = block.substr(pos, length);
    pos += length;
  }
  return pos == block.size();
}

// Decodes a read block into copies of its fields; nothing when it is
// malformed.
inline std::optional<ReadFields> DecodeReadBlock(std::string_view block) {
  ReadFieldViews views;
  if (!DecodeReadBlock(block, views)) return std::nullopt;
  ReadFields fields;
  for (size_t i = 0; i < kReadFields; ++i) fields[i] = std::string(views[i]);
  return fields;
}

// A decimal field of a read block as a number; 0 for text that is not one
// (the library writes signed 32-bit values).
inline long long DecimalField(std::string_view text) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string_view digits = text.substr(negative ? 1 : 0);
  if (digits.empty() || digits.size() > 18) return 0;
  long long value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

enum class Action : char { Keep = '0', Set = '1', Clear = '2' };

struct WriteRecord {
  Action action = Action::Keep;
  std::string value;
};

using WriteRecords = std::array<WriteRecord, kWriteRecords>;

// One record: the count of action and value bytes, ":", action, value.
inline std::string EncodeWriteRecord(Action action, std::string_view value) {
  std::string record = std::to_string(value.size() + 1);
  record += ':';
  record += static_cast<char>(action);
  record.append(value.data(), value.size());
  return record;
}

// The 13 records back to back. The NUL that ends the block is the one
// std::string keeps after its data: pass size() + 1 as the block's size.
inline std::string EncodeWriteBlock(const WriteRecords& records) {
  std::string block;
  for (const WriteRecord& record : records) block += EncodeWriteRecord(record.action, record.value);
  return block;
}

}  // namespace orvell_blocks

#endif
