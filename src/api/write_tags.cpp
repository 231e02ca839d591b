// OV_WriteTags: a whole write block applied with one open, at most one
// setProperties() and one save. The block is parsed before the file is
// touched.
#include "orvell.h"

#include "api/frame.h"
#include "api/write_block.h"
#include "tag/stored_pair.h"
#include "tag/tag_field.h"
#include "tag/text.h"

namespace orvell {
namespace {

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

TagLib::String Text(const WriteItem& item) { return FromUtf8(item.value); }

// Applies a set, keep or clear to one half of a pair.
void Apply(const WriteItem& item, int32_t& half) {
  if (item.action == kSet) half = item.number;
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

// Records 9 to 12, a pair at a time. The half kept is the pair as a reader
// sees it (the track number from the generic tag when "TRACKNUMBER" holds
// none). Clearing the track number drops the whole track pair and ignores
// its total; clearing the disc number sets it to 0 and the total applies.
// Returns the generic fields written: the track, when its pair changed.
GenericFields ApplyPairs(const WriteItems& items, TagLib::PropertyMap& map, const TagLib::Tag& tag) {
  GenericFields written = kNoGenericField;
  for (size_t i = 0; i < kWriteRecordCount; ++i) {
    const FieldEntry& entry = FieldAt(i);
    if (entry.source != FieldSource::PairFirst) continue;
    const WriteItem& number_item = items[i];
    const WriteItem& total_item = items[i + 1];
    if (number_item.action == kKeep && total_item.action == kKeep) continue;
    written |= entry.pair->number_field;
    const bool drops_pair = entry.field == TagField::Track && number_item.action == kClear;
    StoredPair pair;  // 0 and 0: nothing to store
    // The stored pair is read only for a half the block keeps.
    const bool keeps_a_half = number_item.action == kKeep || total_item.action == kKeep;
    if (!drops_pair) {
      if (keeps_a_half) pair = ReadStoredPair(map, *entry.pair, &tag);
      Apply(number_item, pair.first);
      Apply(total_item, pair.second);
    }
    StorePair(map, *entry.pair, pair);
  }
  return written;
}

// The generic tag fields records 0, 1, 3, 4, 5 and 8 write.
GenericFields TagFieldsWritten(const WriteItems& items) {
  GenericFields written = kNoGenericField;
  for (size_t i = 0; i < kWriteRecordCount; ++i) {
    if (items[i].action == kKeep) continue;
    const FieldEntry& entry = FieldAt(i);
    if (entry.source == FieldSource::TagText) written |= FieldBit(entry.text);
    if (entry.source == FieldSource::TagYear) written |= kYearBit;
  }
  return written;
}

// Everything the block changes, for the save's check of what it keeps.
save::Changes ChangesOf(const WriteItems& items) {
  save::Changes changes;
  changes.fields = TagFieldsWritten(items);
  for (size_t i = 0; i < kWriteRecordCount; ++i) {
    const FieldEntry& entry = FieldAt(i);
    if (entry.source == FieldSource::PropertyText && items[i].action != kKeep) {
      changes.keys.emplace_back(entry.key);
    } else if (entry.source == FieldSource::PairFirst &&
               (items[i].action != kKeep || items[i + 1].action != kKeep)) {
      AddPairKeys(changes, *entry.pair);
    }
  }
  return changes;
}

// Records 0, 1, 3, 4, 5 and 8, after the property map so that they win
// over whatever the map carried for the same fields.
void ApplyTagFields(const WriteItems& items, TagLib::Tag& tag) {
  for (size_t i = 0; i < kWriteRecordCount; ++i) {
    const FieldEntry& entry = FieldAt(i);
    const WriteItem& item = items[i];
    if (item.action == kKeep) continue;
    if (entry.source == FieldSource::TagText) {
      WriteTagText(tag, entry.text, item.action == kSet ? Text(item) : TagLib::String());
    } else if (entry.source == FieldSource::TagYear) {
      tag.setYear(item.action == kSet ? static_cast<unsigned int>(item.number) : 0u);
    }
  }
}

int32_t WriteTags(const char* path, const char* block, int32_t size) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (block == nullptr || size <= 0) {
      return Fail(kBadBlock, "the block is NULL or its size is below 1");
    }
    WriteItems items;
    const int32_t parsed = ParseWriteBlock(block, size, items);
    if (parsed < 0) return parsed;
    if (AllKeep(items)) return kNothingToWrite;
    return WithTag(path, kTextFamily, Access::Write, [&](OpenFile& file, TagLib::Tag& tag) {
      GenericFields written = TagFieldsWritten(items);
      if (TouchesProperties(items)) {
        TagLib::PropertyMap map = file.Properties();
        ApplyPropertyTexts(items, map);
        written |= ApplyPairs(items, map, tag);
        file.SetProperties(map, written);
      }
      ApplyTagFields(items, tag);
      return SaveOnce(file, kWriteSaveFailed, static_cast<size_t>(size), ChangesOf(items));
    });
  });
}

}  // namespace
}  // namespace orvell

int32_t OV_WriteTags(const char* path, const char* block, int32_t size) {
  return orvell::WriteTags(path, block, size);
}
