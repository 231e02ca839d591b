#include "frame/frame.h"

#include "frame/taglib_seam.h"

namespace orvell {

OpenFile::OpenFile(const char* path) : source_(path), stream_(source_), ref_(OpenTagLibFile(source_, stream_)) {}

bool OpenFile::Save(size_t input_bytes, GenericFields written) {
  io::Written check{input_bytes};
  for (size_t i = 0; i < kTagTextCount; ++i) {
    const auto field = static_cast<TagText>(i);
    if ((written & FieldBit(field)) != 0) check.Text(ReaderOf(field));
  }
  check.year = (written & kYearBit) != 0;
  check.track = (written & kTrackBit) != 0;
  return io::SaveChecked(ref_, stream_, check);
}

TagLib::PropertyMap OpenFile::Properties() const { return ReadProperties(ref_); }

bool OpenFile::ShowsFirstValueOnly() const { return orvell::ShowsFirstValueOnly(ref_); }

void OpenFile::SetProperties(const TagLib::PropertyMap& map, GenericFields written) {
  TagLib::Tag* tag = Tag();
  const GenericFields at_risk = AbsentFrom(map, kAllGenericFields & ~written);
  if (tag == nullptr || at_risk == kNoGenericField) return WriteProperties(ref_, map);
  const GenericSnapshot before(*tag, at_risk);
  WriteProperties(ref_, map);
  before.Restore(*tag);
}

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

int32_t RoundedSeconds(int32_t milliseconds) {
  return static_cast<int32_t>((static_cast<int64_t>(milliseconds) + 500) / 1000);
}

}  // namespace orvell
