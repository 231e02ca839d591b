#include "save/snapshot.h"

#include <algorithm>

#include "seam/taglib_seam.h"

namespace orvell::save {

namespace {

// The property keys each generic field is kept under, in bit order: the
// generic tag's comment is a Vorbis comment's DESCRIPTION where it has
// one, and a track pair keeps its total under keys of its own.
const std::vector<std::vector<std::string>>& KeysOfFields() {
  static const std::vector<std::vector<std::string>> keys = {
      {"TITLE"}, {"ARTIST"}, {"ALBUM"}, {"GENRE"}, {"COMMENT", "DESCRIPTION"}, {"DATE"},
      {"TRACKNUMBER", "TRACKTOTAL", "TOTALTRACKS"}};
  return keys;
}

bool Changed(const std::string& key, const Changes& changes) {
  if (std::find(changes.keys.begin(), changes.keys.end(), key) != changes.keys.end()) return true;
  const auto& keys = KeysOfFields();
  for (size_t bit = 0; bit < keys.size(); ++bit) {
    if ((changes.fields & (1u << bit)) == 0) continue;
    if (std::find(keys[bit].begin(), keys[bit].end(), key) != keys[bit].end()) return true;
  }
  return false;
}

// The values of key in map, none when absent, in sorted order: WMA keeps
// the second value of a name apart from the first, and a save of any file
// may hand them back the other way round.
std::vector<TagLib::String> ValuesOf(const TagLib::PropertyMap& map, const TagLib::String& key) {
  const TagLib::SimplePropertyMap& plain = map;
  const auto found = plain.find(key);
  if (found == plain.end()) return {};
  std::vector<TagLib::String> values(found->second.begin(), found->second.end());
  std::sort(values.begin(), values.end());
  return values;
}

bool Before(const Picture& a, const Picture& b) {
  if (a.type != b.type) return a.type < b.type;
  if (a.mime != b.mime) return a.mime < b.mime;
  if (a.description != b.description) return a.description < b.description;
  return a.data < b.data;
}

// The same pictures, in whatever order: WMA, like its other attributes,
// may hand them back in another.
bool SamePictures(std::vector<Picture> a, std::vector<Picture> b) {
  std::sort(a.begin(), a.end(), Before);
  std::sort(b.begin(), b.end(), Before);
  return a == b;
}

}  // namespace

Snapshot TakeSnapshot(const TagLib::FileRef& ref) {
  Snapshot snapshot;
  if (ref.file() == nullptr) return snapshot;
  snapshot.taken = true;
  snapshot.properties = ReadProperties(ref);
  if (const auto store = PicturesOf(*ref.file(), false)) snapshot.pictures = store->List();
  return snapshot;
}

bool SameBut(const Snapshot& before, const Snapshot& after, const Changes& changes,
             std::string& difference) {
  if (!before.taken) return true;
  if (!changes.pictures && !SamePictures(before.pictures, after.pictures)) {
    difference = "its pictures";
    return false;
  }
  // Every key either holds, in either map, the same values or none. Most
  // hold the very same list in both; only the others are looked at
  // closely.
  const TagLib::SimplePropertyMap& was_map = before.properties;
  const TagLib::SimplePropertyMap& now_map = after.properties;
  const auto differs = [&](const TagLib::String& key) {
    const std::string name = key.to8Bit(true);
    if (Changed(name, changes) ||
        ValuesOf(before.properties, key) == ValuesOf(after.properties, key)) {
      return false;
    }
    difference = "its " + name;
    return true;
  };
  for (const auto& [key, values] : was_map) {
    const auto now = now_map.find(key);
    if (now != now_map.end() && now->second == values) continue;
    if (differs(key)) return false;
  }
  for (const auto& [key, values] : now_map) {
    if (was_map.find(key) == was_map.end() && differs(key)) return false;
  }
  return true;
}

}  // namespace orvell::save
