// OV_WriteTags: a whole write block applied with one open, at most one
// setProperties() and one save. The block is parsed before the file is
// touched.
#include "orvell.h"

#include "bulk/tag_field.h"
#include "bulk/write_block.h"
#include "frame/frame.h"
#include "numbers/number_pair.h"

namespace orvell {
namespace {

constexpr int32_t kWriteSaveFailed = -8;

bool AllKeep(const WriteItems& items) {
  for (const WriteItem& item : items) {
    if (item.action != kKeep) return false;
  }
  return true;
}

// Whether any of the records kept in the property map asks for a change:
// only then is the map read and handed back, once.
bool TouchesProperties(const WriteItems& items) {
  for (size_t i = 0; i < kWriteRecordCount; ++i) {
    const FieldSource source = FieldAt(i).source;
    const bool in_map = source == FieldSource::PropertyText || source == FieldSource::PairFirst ||
                        source == FieldSource::PairSecond;
    if (in_map && items[i].action != kKeep) return true;
  }
  return false;
}

int32_t Number(const WriteItem& item) {
  int32_t value = 0;
  ParseDecimalStrict(item.value, value);  // the parser accepted it already
  return value;
}

TagLib::String Text(const WriteItem& item) {
  return TagLib::String(item.value, TagLib::String::UTF8);
}

// Applies a set, keep or clear to one half of a pair.
void Apply(const WriteItem& item, int32_t& half) {
  if (item.action == kSet) half = Number(item);
  if (item.action == kClear) half = 0;
}

// Records 2, 6 and 7. A set with an empty value stores one empty text
// rather than erasing the key.
void ApplyPropertyTexts(const WriteItems& items, TagLib::PropertyMap& map) {
  for (size_t i = 0; i < kWriteRecordCount; ++i) {
    const FieldEntry& entry = FieldAt(i);
    if (entry.source != FieldSource::PropertyText || items[i].action == kKeep) continue;
    if (items[i].action == kSet) {
      map.replace(Key(entry.key), TagLib::StringList(Text(items[i])));
    } else {
      map.erase(Key(entry.key));
    }
  }
}

// Records 9 and 10. Clearing the track number drops the whole pair and
// ignores the total; otherwise the kept half comes from the stored pair, or
// from the generic tag's track number when "TRACKNUMBER" has no value.
void ApplyTrackPair(const WriteItems& items, TagLib::PropertyMap& map, const TagLib::Tag& tag) {
  const FieldEntry& entry = FieldAt(static_cast<size_t>(TagField::Track));
  const WriteItem& number_item = items[static_cast<size_t>(TagField::Track)];
  const WriteItem& total_item = items[static_cast<size_t>(TagField::TrackTotal)];
  if (number_item.action == kClear) {
    map.erase(Key(entry.key));
    return;
  }
  if (number_item.action == kKeep && total_item.action == kKeep) return;
  int32_t number = 0;
  int32_t total = 0;
  const TagLib::StringList values = Lookup(map, entry.key);
  if (!values.isEmpty()) {
    ParseNumberPair(values.front(), number, total);
  } else {
    number = static_cast<int32_t>(tag.track());
  }
  Apply(number_item, number);
  Apply(total_item, total);
  StoreOrErase(map, entry.key, FormatNumberPair(number, total));
}

// Records 11 and 12. Clearing the disc number sets it to 0 and the total
// still applies; there is no fallback to the generic tag.
void ApplyDiscPair(const WriteItems& items, TagLib::PropertyMap& map) {
  const FieldEntry& entry = FieldAt(static_cast<size_t>(TagField::Disc));
  const WriteItem& number_item = items[static_cast<size_t>(TagField::Disc)];
  const WriteItem& total_item = items[static_cast<size_t>(TagField::DiscTotal)];
  if (number_item.action == kKeep && total_item.action == kKeep) return;
  int32_t number = 0;
  int32_t total = 0;
  const TagLib::StringList values = Lookup(map, entry.key);
  if (!values.isEmpty()) ParseNumberPair(values.front(), number, total);
  Apply(number_item, number);
  Apply(total_item, total);
  StoreOrErase(map, entry.key, FormatNumberPair(number, total));
}

// Records 0, 1, 3, 4, 5 and 8, after the property map so that they win
// over whatever the map carried for the same fields; each is noted in
// written, to be read back after the save.
void ApplyTagFields(const WriteItems& items, TagLib::Tag& tag, io::Written& written) {
  for (size_t i = 0; i < kWriteRecordCount; ++i) {
    const FieldEntry& entry = FieldAt(i);
    const WriteItem& item = items[i];
    if (item.action == kKeep) continue;
    if (entry.source == FieldSource::TagText) {
      (tag.*entry.write)(item.action == kSet ? Text(item) : TagLib::String());
      written.Text(entry.read);
    } else if (entry.source == FieldSource::TagYear) {
      tag.setYear(item.action == kSet ? static_cast<unsigned int>(Number(item)) : 0u);
      written.year = true;
    }
  }
}

int32_t WriteTags(const char* path, const char* block, int32_t size) {
  return Guard([&] {
    if (IsBadPath(path)) return kBadPath;
    if (block == nullptr || size <= 0) return -2;
    WriteItems items;
    const int32_t parsed = ParseWriteBlock(block, size, items);
    if (parsed < 0) return parsed;
    if (AllKeep(items)) return 0;
    return WithTag(path, kTextFamily, [&](OpenFile& file, TagLib::Tag& tag) {
      if (TouchesProperties(items)) {
        TagLib::PropertyMap map = file.Properties();
        ApplyPropertyTexts(items, map);
        ApplyTrackPair(items, map, tag);
        ApplyDiscPair(items, map);
        file.SetProperties(map);
      }
      io::Written written{static_cast<size_t>(size)};
      written.track = items[static_cast<size_t>(TagField::Track)].action == kSet;
      ApplyTagFields(items, tag, written);
      return SaveOnce(file, kWriteSaveFailed, written);
    });
  });
}

}  // namespace
}  // namespace orvell

int32_t OV_WriteTags(const char* path, const char* block, int32_t size) {
  return orvell::WriteTags(path, block, size);
}
