#include "tag/every_tag.h"

#include <cstdint>

#include <taglib/id3v1tag.h>

#include "seam/taglib_seam.h"
#include "tag/number_pair.h"
#include "tag/properties.h"

namespace orvell {

namespace {

// The values under key, whose case is as map keeps it; null when absent.
const TagLib::StringList* Under(const TagLib::PropertyMap& map, const TagLib::String& key) {
  const TagLib::SimplePropertyMap& keys = map;
  const auto found = keys.find(key);
  return found == keys.end() ? nullptr : &found->second;
}

// The number that leads the first value of key in map; 0 when there is
// none.
unsigned int LeadingNumber(const TagLib::PropertyMap& map, const char* key) {
  const TagLib::StringList values = Lookup(map, key);
  if (values.isEmpty()) return 0;
  int32_t number = 0;
  int32_t ignored = 0;
  // "2024-05-01" reads as the pair (2024, 0) up to its first "/".
  ParseNumberPair(values.front().split("-").front(), number, ignored);
  return number > 0 ? static_cast<unsigned int>(number) : 0;
}

// An ID3v1 tag holds the seven fields every tag has and nothing else: the
// change is made field by field, as its write of the whole map would
// make it, without that map.
void WriteChangedFields(TagLib::ID3v1::Tag& tag, const TagLib::PropertyMap& changes) {
  for (const auto& [key, values] : changes) {
    const TagLib::String text = values.toString();
    if (key == "TITLE") {
      tag.setTitle(text);
    } else if (key == "ARTIST") {
      tag.setArtist(text);
    } else if (key == "ALBUM") {
      tag.setAlbum(text);
    } else if (key == "COMMENT") {
      tag.setComment(text);
    } else if (key == "GENRE") {
      tag.setGenre(text);
    } else if (key == "DATE") {
      tag.setYear(LeadingNumber(changes, "DATE"));
    } else if (key == "TRACKNUMBER") {
      tag.setTrack(LeadingNumber(changes, "TRACKNUMBER"));
    }
  }
}

}  // namespace

TagLib::PropertyMap ChangesBetween(const TagLib::PropertyMap& before, const TagLib::PropertyMap& after) {
  TagLib::PropertyMap changes;
  for (const auto& [key, values] : after) {
    const TagLib::StringList* was = Under(before, key);
    if (was == nullptr || *was != values) changes.insert(key, values);
  }
  for (const auto& [key, values] : before) {
    if (!values.isEmpty() && Under(after, key) == nullptr) {
      changes.insert(key, TagLib::StringList());
    }
  }
  return changes;
}

void WriteChanges(TagLib::Tag& tag, const TagLib::PropertyMap& held, const TagLib::PropertyMap& changes) {
  if (auto* id3v1 = dynamic_cast<TagLib::ID3v1::Tag*>(&tag)) {
    WriteChangedFields(*id3v1, changes);
    return;
  }
  TagLib::PropertyMap map = held;
  for (const auto& [key, values] : changes) {
    if (values.isEmpty()) {
      map.erase(key);
    } else {
      map.replace(key, values);
    }
  }
  SetTagProperties(tag, map);
  const unsigned int track = LeadingNumber(map, "TRACKNUMBER");
  if (track != tag.track()) tag.setTrack(track);
  const unsigned int year = LeadingNumber(map, "DATE");
  if (year != tag.year()) tag.setYear(year);
}

}  // namespace orvell
