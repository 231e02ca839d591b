#include "tag/properties.h"

namespace orvell {

TagLib::String Key(const char* literal) {
  return TagLib::String(literal, TagLib::String::Latin1);
}

const TagLib::StringList* Find(const TagLib::PropertyMap& map, const char* key) {
  // The map's own find() upper-cases the key into a new string first.
  const TagLib::SimplePropertyMap& keys = map;
  const auto found = keys.find(Key(key));
  return found == keys.end() ? nullptr : &found->second;
}

TagLib::StringList Lookup(const TagLib::PropertyMap& map, const char* key) {
  const TagLib::StringList* values = Find(map, key);
  return values == nullptr ? TagLib::StringList() : *values;
}

void StoreOrErase(TagLib::PropertyMap& map, const char* key, const TagLib::String& text) {
  if (text.isEmpty()) {
    map.erase(Key(key));
  } else {
    map.replace(Key(key), TagLib::StringList(text));
  }
}

}  // namespace orvell
