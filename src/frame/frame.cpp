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

void OpenFile::SetProperties(const TagLib::PropertyMap& map) {
  WriteProperties(ref_, map);
}

TagLib::String Utf8(const char* text) {
  return TagLib::String(text, TagLib::String::UTF8);
}

TagLib::String Key(const char* literal) {
  return TagLib::String(literal, TagLib::String::Latin1);
}

TagLib::StringList Lookup(const TagLib::PropertyMap& map, const char* key) {
  const auto found = map.find(Key(key));
  return found == map.end() ? TagLib::StringList() : found->second;
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
