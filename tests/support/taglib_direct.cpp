#include "support/taglib_direct.h"

#include <stdexcept>

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/wavpackfile.h>
#include <taglib/tag.h>

#include "seam/taglib_seam.h"

namespace orvell_test {
namespace {

TagLib::FileRef Open(const std::string& path) {
  TagLib::FileRef ref(path.c_str(), true, TagLib::AudioProperties::Average);
  if (ref.isNull()) throw std::runtime_error("TagLib cannot open " + path);
  return ref;
}

TagLib::String Text(const std::string& utf8) { return TagLib::String(utf8, TagLib::String::UTF8); }

}  // namespace

DirectTag ReadTag(const std::string& path) {
  TagLib::FileRef ref = Open(path);
  const TagLib::Tag* tag = ref.tag();
  if (tag == nullptr) throw std::runtime_error("no tag in " + path);
  DirectTag out;
  out.title = tag->title().to8Bit(true);
  out.artist = tag->artist().to8Bit(true);
  out.album = tag->album().to8Bit(true);
  out.genre = tag->genre().to8Bit(true);
  out.comment = tag->comment().to8Bit(true);
  out.year = tag->year();
  out.track = tag->track();
  return out;
}

TagLib::PropertyMap ReadPropertyMap(const std::string& path) {
  return orvell::ReadProperties(Open(path));
}

std::vector<std::string> Values(const std::string& path, const std::string& key) {
  const TagLib::PropertyMap map = ReadPropertyMap(path);
  std::vector<std::string> out;
  const auto found = map.find(Text(key));
  if (found == map.end()) return out;
  for (const TagLib::String& value : found->second) out.push_back(value.to8Bit(true));
  return out;
}

std::map<std::string, std::vector<std::string>> PropertiesExcept(const std::string& path,
                                                                 const std::string& key) {
  std::map<std::string, std::vector<std::string>> out;
  for (const auto& entry : ReadPropertyMap(path)) {
    if (entry.first == Text(key)) continue;
    std::vector<std::string>& values = out[entry.first.to8Bit(true)];
    for (const TagLib::String& value : entry.second) values.push_back(value.to8Bit(true));
  }
  return out;
}

void Edit(const std::string& path, const std::function<void(TagLib::FileRef&)>& edit) {
  TagLib::FileRef ref = Open(path);
  edit(ref);
  if (!ref.save()) throw std::runtime_error("TagLib cannot save " + path);
}

void SetValues(const std::string& path, const std::string& key,
               const std::vector<std::string>& values) {
  Edit(path, [&](TagLib::FileRef& ref) {
    TagLib::PropertyMap map = orvell::ReadProperties(ref);
    if (values.empty()) {
      map.erase(Text(key));
    } else {
      TagLib::StringList list;
      for (const std::string& value : values) list.append(Text(value));
      map.replace(Text(key), list);
    }
    orvell::WriteProperties(ref, map);
  });
}

void ClearAll(const std::string& path) {
  Edit(path, [](TagLib::FileRef& ref) {
    orvell::WriteProperties(ref, TagLib::PropertyMap());
    TagLib::Tag* tag = ref.tag();
    tag->setTitle(TagLib::String());
    tag->setArtist(TagLib::String());
    tag->setAlbum(TagLib::String());
    tag->setGenre(TagLib::String());
    tag->setComment(TagLib::String());
    tag->setYear(0);
    tag->setTrack(0);
  });
}

void SplitWavPackTrack(const std::string& path, const std::string& ape_track,
                       unsigned int id3v1_track) {
  TagLib::WavPack::File file(path.c_str());
  if (!file.isValid()) throw std::runtime_error("not a WavPack file: " + path);
  TagLib::APE::Tag* ape = file.APETag(true);
  TagLib::PropertyMap map = ape->properties();
  map.replace("TITLE", TagLib::StringList(Text("Split")));
  if (ape_track.empty()) {
    map.erase("TRACKNUMBER");
  } else {
    map.replace("TRACKNUMBER", TagLib::StringList(Text(ape_track)));
  }
  ape->setProperties(map);
  file.ID3v1Tag(true)->setTrack(id3v1_track);
  if (!file.save()) throw std::runtime_error("TagLib cannot save " + path);
}

}  // namespace orvell_test
