#include "direct.h"

#include <cstdlib>
#include <stdexcept>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include "seam/taglib_seam.h"

namespace orvell_bench {
namespace {

TagLib::String Utf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }
TagLib::String Key(const char* key) { return TagLib::String(key, TagLib::String::Latin1); }

// The first value of key as UTF-8, or nothing when the key has no value.
bool FirstValue(const TagLib::PropertyMap& map, const char* key, std::string& out) {
  const auto found = map.find(Key(key));
  if (found == map.end() || found->second.isEmpty()) return false;
  out = found->second.front().to8Bit(true);
  return true;
}

// "3/12" as 3 and 12, the plain way: strtol on each side of the slash.
void SplitPair(const std::string& text, int32_t& first, int32_t& second) {
  char* end = nullptr;
  first = static_cast<int32_t>(std::strtol(text.c_str(), &end, 10));
  second = *end == '/' ? static_cast<int32_t>(std::strtol(end + 1, nullptr, 10)) : 0;
}

}  // namespace

DirectProperties PropertiesDirect(const char* path) {
  TagLib::FileRef ref(TagLib::FileName(path), true, TagLib::AudioProperties::Average);
  if (ref.isNull()) throw std::runtime_error(std::string("TagLib cannot open ") + path);
  DirectProperties properties;
  for (const auto& [key, values] : ref.file()->properties()) {
    std::vector<std::string> texts;
    for (const TagLib::String& value : values) texts.push_back(value.to8Bit(true));
    properties.emplace_back(key.to8Bit(true), std::move(texts));
  }
  return properties;
}

DirectRecord ReadDirect(const char* path) {
  TagLib::FileRef ref(TagLib::FileName(path), true, TagLib::AudioProperties::Average);
  if (ref.isNull()) throw std::runtime_error(std::string("TagLib cannot open ") + path);
  const TagLib::Tag* tag = ref.tag();
  if (tag == nullptr) throw std::runtime_error(std::string("no tag in ") + path);

  DirectRecord r;
  r.text[0] = tag->title().to8Bit(true);
  r.text[1] = tag->artist().to8Bit(true);
  r.text[3] = tag->album().to8Bit(true);
  r.text[4] = tag->genre().to8Bit(true);
  r.text[5] = tag->comment().to8Bit(true);
  r.number[0] = static_cast<int32_t>(tag->year());

  const TagLib::PropertyMap map = orvell::ReadProperties(ref);
  FirstValue(map, "ALBUMARTIST", r.text[2]);
  FirstValue(map, "COMPOSER", r.text[6]);
  FirstValue(map, "CONDUCTOR", r.text[7]);
  std::string pair;
  if (FirstValue(map, "TRACKNUMBER", pair)) {
    SplitPair(pair, r.number[1], r.number[2]);
  } else {
    r.number[1] = static_cast<int32_t>(tag->track());
  }
  if (FirstValue(map, "DISCNUMBER", pair)) SplitPair(pair, r.number[3], r.number[4]);

  if (const TagLib::AudioProperties* audio = ref.audioProperties()) {
    r.number[5] = (audio->lengthInMilliseconds() + 500) / 1000;
    r.number[6] = audio->bitrate();
    r.number[7] = audio->sampleRate();
    r.number[8] = audio->channels();
  }
  return r;
}

void WriteDirect(const char* path, const TagValues& v) {
  TagLib::FileRef ref(TagLib::FileName(path), true, TagLib::AudioProperties::Average);
  if (ref.isNull()) throw std::runtime_error(std::string("TagLib cannot open ") + path);
  TagLib::Tag* tag = ref.tag();
  if (tag == nullptr) throw std::runtime_error(std::string("no tag in ") + path);

  TagLib::PropertyMap map = orvell::ReadProperties(ref);
  map.replace(Key("ALBUMARTIST"), TagLib::StringList(Utf8(v.album_artist)));
  map.replace(Key("COMPOSER"), TagLib::StringList(Utf8(v.composer)));
  map.replace(Key("CONDUCTOR"), TagLib::StringList(Utf8(v.conductor)));
  map.replace(Key("TRACKNUMBER"),
              TagLib::StringList(Utf8(std::to_string(v.track) + "/" + std::to_string(v.track_total))));
  map.replace(Key("DISCNUMBER"),
              TagLib::StringList(Utf8(std::to_string(v.disc) + "/" + std::to_string(v.disc_total))));
  orvell::WriteProperties(ref, map);

  tag->setTitle(Utf8(v.title));
  tag->setArtist(Utf8(v.artist));
  tag->setAlbum(Utf8(v.album));
  tag->setGenre(Utf8(v.genre));
  tag->setComment(Utf8(v.comment));
  tag->setYear(static_cast<unsigned int>(v.year));
  if (!ref.save()) throw std::runtime_error(std::string("TagLib cannot save ") + path);
}

}  // namespace orvell_bench
