#include "frame/frame.h"

#include "frame/mp4_offsets.h"
#include "frame/taglib_seam.h"

namespace orvell {

namespace {

// The file name to open, once TagLib's shared tables exist: opening a file
// may already read them.
TagLib::FileName AfterSharedTables(const char* path) {
  BuildSharedTables();
  return TagLib::FileName(path);
}

}  // namespace

OpenFile::OpenFile(const char* path)
    : ref_(AfterSharedTables(path), true, TagLib::AudioProperties::Average) {}

bool OpenFile::Save() { return OffsetTablesFit(*ref_.file()) && ref_.save(); }

TagLib::PropertyMap OpenFile::Properties() const { return ReadProperties(ref_); }

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
