// OV_ReadProperties and OV_WriteProperties: every key of a file's property
// map with all its values, in one block each way.
#include "orvell.h"

#include <algorithm>
#include <string>
#include <vector>

#include "api/frame.h"
#include "tag/number_pair.h"
#include "tag/property_block.h"
#include "tag/stored_pair.h"
#include "tag/text.h"

namespace orvell {
namespace {

constexpr int32_t kPropertyBlockMalformed = -5;
constexpr int32_t kPropertyBadKey = -6;
constexpr int32_t kPropertyNotHeld = -7;

std::string PropertyBlock(const TagLib::PropertyMap& map) {
  std::string block;
  for (const auto& [key, values] : map) {
    std::vector<std::string> texts;
    texts.reserve(values.size());
    for (const TagLib::String& value : values) texts.push_back(value.to8Bit(true));
    AppendEntry(block, key.to8Bit(true), texts);
  }
  return block;
}

// The generic field a key stands for, if any.
GenericFields FieldOfKey(const std::string& key) {
  static const char* const kKeys[] = {"TITLE", "ARTIST", "ALBUM", "GENRE", "COMMENT", "DATE",
                                      "TRACKNUMBER"};
  for (unsigned bit = 0; bit < sizeof kKeys / sizeof kKeys[0]; ++bit) {
    if (key == kKeys[bit]) return 1u << bit;
  }
  return key == "DESCRIPTION" ? FieldBit(TagText::Comment) : kNoGenericField;
}

std::vector<TagLib::String> Sorted(const TagLib::StringList& values) {
  std::vector<TagLib::String> sorted(values.begin(), values.end());
  std::sort(sorted.begin(), sorted.end());
  return sorted;
}

bool Names(const std::vector<PropertyEntry>& entries, const std::string& key) {
  for (const PropertyEntry& entry : entries) {
    if (UpperKey(entry.key) == key) return true;
  }
  return false;
}

// Where the block sets a pair or one of its totals, the pair and every
// total key the file has are made to tell one total: the block's own
// total where it gives one, else the pair's, else the total key's.
void KeepPairInStep(const std::vector<PropertyEntry>& entries, const PairKeys& keys,
                    TagLib::PropertyMap& map, const TagLib::Tag* tag) {
  bool names_total = false;
  for (const char* total : keys.totals) names_total = names_total || Names(entries, total);
  if (!names_total && !Names(entries, keys.pair)) return;
  StoredPair pair = ReadStoredPair(map, keys, tag);
  if (names_total) {
    for (const char* total : keys.totals) {
      const TagLib::StringList values = Lookup(map, total);
      if (!Names(entries, total) || values.isEmpty()) continue;
      int32_t ignored = 0;
      ParseNumberPair(values.front(), pair.second, ignored);
      break;
    }
  }
  if (pair.first <= 0 && pair.second <= 0) return;  // nothing a reader could tell
  StorePair(map, keys, pair);
}

int32_t ReadPropertiesOf(const char* path, char* buffer, int32_t size) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (IsBadReadBuffer(buffer, size)) return Fail(kBadBuffer, kBadReadBufferReason);
    if (buffer != nullptr) buffer[0] = '\0';
    return WithTag(path, kTextFamily, Access::Read, [&](OpenFile& file, TagLib::Tag&) {
      return HandOutBlock(PropertyBlock(file.Properties()), buffer, size);
    });
  });
}

int32_t WritePropertiesOf(const char* path, const char* block) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (block == nullptr) return Fail(kBadBlock, "the block is NULL");
    std::vector<PropertyEntry> entries;
    size_t where = 0;
    switch (ParsePropertyBlock(block, entries, where)) {
      case BlockFault::Malformed:
        return Fail(kPropertyBlockMalformed,
                    ("property block, entry " + std::to_string(where) +
                     ": a field without its length, a count that is no number, or a key named twice")
                        .c_str());
      case BlockFault::BadKey:
        return Fail(kPropertyBadKey, ("property block, entry " + std::to_string(where) +
                                      ": not a key (1 to 255 bytes of printable ASCII, no '=')")
                                         .c_str());
      case BlockFault::None:
        break;
    }
    if (entries.empty()) return kNothingToWrite;
    return WithTag(path, kTextFamily, Access::Write, [&](OpenFile& file, TagLib::Tag& tag) {
      TagLib::PropertyMap map = file.Properties();
      save::Changes changes;
      size_t bytes = 0;
      for (const PropertyEntry& entry : entries) {
        const std::string key = UpperKey(entry.key);
        TagLib::StringList values;
        for (const std::string& value : entry.values) {
          values.append(FromUtf8(value));
          bytes += value.size();
        }
        if (values.isEmpty()) {
          map.erase(Key(key.c_str()));
        } else {
          map.replace(Key(key.c_str()), values);
        }
        changes.keys.push_back(key);
        changes.fields |= FieldOfKey(key);
      }
      for (const PairKeys* keys : {&kTrackKeys, &kDiscKeys}) {
        KeepPairInStep(entries, *keys, map, &tag);
        if (Names(entries, keys->pair) || Names(entries, keys->totals[0]) ||
            Names(entries, keys->totals[1])) {
          AddPairKeys(changes, *keys);
        }
      }
      const TagLib::PropertyMap refused = file.SetProperties(map, changes.fields);
      // What the file's tag now holds must be what was asked: a key it
      // refused, or keeps otherwise (WMA joins several artists into one),
      // is not saved.
      const TagLib::PropertyMap held = file.Properties();
      std::string not_held;
      for (const PropertyEntry& entry : entries) {
        const std::string key = UpperKey(entry.key);
        const bool refused_key = !entry.values.empty() && Find(refused, key.c_str()) != nullptr;
        if (refused_key || Sorted(Lookup(held, key.c_str())) != Sorted(Lookup(map, key.c_str()))) {
          not_held += (not_held.empty() ? "" : ", ") + key;
        }
      }
      if (!not_held.empty()) {
        return Fail(kPropertyNotHeld, ("this format cannot hold " + not_held + " as given").c_str());
      }
      return SaveOnce(file, kWriteSaveFailed, bytes, changes);
    });
  });
}

}  // namespace
}  // namespace orvell

int32_t OV_ReadProperties(const char* path, char* buffer, int32_t size) {
  return orvell::ReadPropertiesOf(path, buffer, size);
}

int32_t OV_WriteProperties(const char* path, const char* block) {
  return orvell::WritePropertiesOf(path, block);
}
