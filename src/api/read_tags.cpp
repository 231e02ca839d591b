// OV_ReadTags: all 17 fields of one file in one read block, from a single
// open and a single copy of the property map.
#include "orvell.h"

#include <array>
#include <cstring>
#include <string>

#include "api/frame.h"
#include "tag/number_pair.h"
#include "tag/stored_pair.h"
#include "tag/tag_field.h"
#include "tag/text.h"

namespace orvell {
namespace {

constexpr size_t kBlockReserve = 8192;

// Appends one field to the block: its byte count in decimal, ":", the bytes.
class AppendField {
 public:
  explicit AppendField(std::string& block) : block_(block) {}
  void operator()(const std::string& value) {
    block_ += std::to_string(value.size());
    block_ += ':';
    block_ += value;
  }

 private:
  std::string& block_;
};

// The values of one file, gathered in the order TagLib is asked: the tag
// and the property map, then the audio properties.
struct Record {
  std::array<std::string, kReadFieldCount> text;
  std::array<int32_t, kReadFieldCount> number{};
};

void GatherTag(const TagLib::Tag& tag, const TagLib::PropertyMap& map, Record& record) {
  const SeveralValues several(map);
  for (size_t i = 0; i < kReadFieldCount; ++i) {
    const FieldEntry& entry = FieldAt(i);
    if (entry.source != FieldSource::TagText) continue;
    record.text[i] = several.Shown(entry.text, ReadTagText(tag, entry.text)).to8Bit(true);
  }
  record.number[static_cast<size_t>(TagField::Year)] = static_cast<int32_t>(tag.year());
}

void GatherProperties(const TagLib::PropertyMap& map, const TagLib::Tag& tag, Record& record) {
  for (size_t i = 0; i < kReadFieldCount; ++i) {
    const FieldEntry& entry = FieldAt(i);
    if (entry.source == FieldSource::PropertyText) {
      const TagLib::StringList values = Lookup(map, entry.key);
      if (!values.isEmpty()) record.text[i] = values.front().to8Bit(true);
    } else if (entry.source == FieldSource::PairFirst) {
      // Both halves of a pair come from one reading of it.
      const StoredPair pair = ReadStoredPair(map, *entry.pair, &tag);
      record.number[i] = pair.first;
      record.number[i + 1] = pair.second;
    }
  }
}

void GatherAudio(const TagLib::AudioProperties* audio, Record& record) {
  if (audio == nullptr) return;  // absent audio properties read as zeros
  for (size_t i = 0; i < kReadFieldCount; ++i) {
    const FieldEntry& entry = FieldAt(i);
    if (entry.source != FieldSource::Audio) continue;
    const int value = (audio->*entry.measure)();
    record.number[i] = entry.field == TagField::Duration ? RoundedSeconds(value) : value;
  }
}

std::string EncodeBlock(const Record& record) {
  std::string block;
  block.reserve(kBlockReserve);
  AppendField append(block);
  for (size_t i = 0; i < kReadFieldCount; ++i) {
    if (FieldAt(i).kind == FieldKind::Text) {
      append(record.text[i]);
    } else {
      append(FormatDecimal(record.number[i]));
    }
  }
  return block;
}

int32_t ReadTags(const char* path, char* buffer, int32_t size) {
  if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
  if (IsBadBuffer(buffer, size)) return Fail(kBadBuffer, kBadBufferReason);
  buffer[0] = '\0';
  return Guard([&] {
    return WithTag(path, kTextFamily, Access::Read, [&](OpenFile& file, TagLib::Tag& tag) {
      Record record;
      const TagLib::PropertyMap map = file.Properties();
      GatherTag(tag, map, record);
      GatherProperties(map, tag, record);
      GatherAudio(file.Audio(), record);
      const std::string block = EncodeBlock(record);
      // Whole or nothing: the block and its NUL must fit.
      if (block.size() >= static_cast<size_t>(size)) {
        reason::Say("the buffer is too small for the block: " + std::to_string(block.size() + 1) +
                    " bytes are needed");
        return kBlockTooSmall;
      }
      std::memcpy(buffer, block.data(), block.size());
      buffer[block.size()] = '\0';
      return static_cast<int32_t>(block.size());
    });
  });
}

}  // namespace
}  // namespace orvell

int32_t OV_ReadTags(const char* path, char* buffer, int32_t size) {
  return orvell::ReadTags(path, buffer, size);
}
