#include "subjects.h"

#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include <taglib/tag.h>

#include "frame/taglib_seam.h"
#include "support/taglib_direct.h"

namespace orvell_bench {
namespace {

TagLib::String Utf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

std::string Pair(int32_t first, int32_t second) {
  return std::to_string(first) + "/" + std::to_string(second);
}

// Text properties that every format's property map takes (MP4 in TagLib
// 1.x refuses keys it has no atom for), then free-form keys for the formats
// that keep any key.
const char* const kKnownKeys[] = {
    "GROUPING", "COPYRIGHT", "LYRICS", "ENCODEDBY", "ALBUMSORT", "ALBUMARTISTSORT",
    "ARTISTSORT", "TITLESORT", "COMPOSERSORT", "WORK", "MOVEMENTNAME",
    "MUSICBRAINZ_TRACKID", "MUSICBRAINZ_ARTISTID", "MUSICBRAINZ_ALBUMID",
    "MUSICBRAINZ_ALBUMARTISTID", "MUSICBRAINZ_RELEASEGROUPID", "MUSICBRAINZ_RELEASETRACKID",
    "MUSICBRAINZ_WORKID", "RELEASECOUNTRY", "RELEASESTATUS", "RELEASETYPE", "ARTISTS",
    "ORIGINALDATE", "ASIN", "LABEL", "LYRICIST", "REMIXER", "ENGINEER", "PRODUCER", "DJMIXER",
    "MIXER", "SUBTITLE", "DISCSUBTITLE", "MOOD", "ISRC", "CATALOGNUMBER", "BARCODE", "SCRIPT",
    "LANGUAGE", "LICENSE", "MEDIA"};
constexpr int kFreeFormKeys = 100;

void AddManyFields(TagLib::PropertyMap& map) {
  for (const char* key : kKnownKeys) {
    map.replace(TagLib::String(key), TagLib::StringList(Utf8(std::string(key) + " of the bench")));
  }
  char key[32];
  for (int i = 0; i < kFreeFormKeys; ++i) {
    std::snprintf(key, sizeof key, "BENCH_EXTRA_%03d", i);
    map.replace(TagLib::String(key), TagLib::StringList(Utf8("free-form value " + std::to_string(i))));
  }
}

// Writes values (and, when asked, many further properties) with TagLib.
void Store(const std::string& path, const TagValues& values, bool many) {
  orvell_test::Edit(path, [&](TagLib::FileRef& ref) {
    TagLib::PropertyMap map = orvell::ReadProperties(ref);
    map.replace("ALBUMARTIST", TagLib::StringList(Utf8(values.album_artist)));
    map.replace("COMPOSER", TagLib::StringList(Utf8(values.composer)));
    map.replace("CONDUCTOR", TagLib::StringList(Utf8(values.conductor)));
    map.replace("TRACKNUMBER", TagLib::StringList(Utf8(Pair(values.track, values.track_total))));
    map.replace("DISCNUMBER", TagLib::StringList(Utf8(Pair(values.disc, values.disc_total))));
    if (many) AddManyFields(map);
    orvell::WriteProperties(ref, map);
    TagLib::Tag* tag = ref.tag();
    if (tag == nullptr) throw std::runtime_error("no tag in " + path);
    tag->setTitle(Utf8(values.title));
    tag->setArtist(Utf8(values.artist));
    tag->setAlbum(Utf8(values.album));
    tag->setGenre(Utf8(values.genre));
    tag->setComment(Utf8(values.comment));
    tag->setYear(static_cast<unsigned int>(values.year));
  });
}

}  // namespace

TagValues StoredValues() {
  TagValues v;
  v.title = "Blue in Green";
  v.artist = "Orvell Quartet";
  v.album_artist = "Orvell Quartet";
  v.album = "Silent Standards";
  v.genre = "Jazz";
  v.comment = "Two seconds of silence";
  v.composer = "Bill Evans";
  v.conductor = "Nobody";
  v.year = 1959;
  v.track = 3;
  v.track_total = 12;
  v.disc = 1;
  v.disc_total = 2;
  return v;
}

TagValues WrittenValues() {
  TagValues v;
  v.title = "Café au lait";
  v.artist = "Ærø Trio";
  v.album_artist = "Ærø Trio";
  v.album = "Morning Sessions";
  v.genre = "Bossa Nova";
  v.comment = "Recorded live";
  v.composer = "Antônio Carlos Jobim";
  v.conductor = "Claus Ogerman";
  v.year = 2024;
  v.track = 7;
  v.track_total = 14;
  v.disc = 2;
  v.disc_total = 3;
  return v;
}

Subjects::Subjects() {
  for (const std::string& fixture : orvell_test::AudioFixtures()) {
    Subject s;
    s.format = std::filesystem::path(fixture).extension().string().substr(1);
    const auto copy = [&](const std::string& role) {
      return dir_.Copy(fixture, role + "." + s.format);
    };
    s.tagged = copy("tagged");
    s.long_comment = copy("long_comment");
    s.many_fields = copy("many_fields");
    s.write_bulk = copy("write_bulk");
    s.write_direct = copy("write_direct");
    s.write_setters = copy("write_setters");

    const TagValues stored = StoredValues();
    for (const std::string* path : {&s.tagged, &s.write_bulk, &s.write_direct, &s.write_setters}) {
      Store(*path, stored, false);
    }
    TagValues long_comment = stored;
    long_comment.comment.clear();
    while (long_comment.comment.size() < kLongCommentBytes) {
      long_comment.comment += "All work and no play makes a long comment. ";
    }
    long_comment.comment.resize(kLongCommentBytes);
    Store(s.long_comment, long_comment, false);
    Store(s.many_fields, stored, true);
    s.many_fields_count = orvell_test::ReadPropertyMap(s.many_fields).size();
    subjects_.push_back(std::move(s));
  }
}

}  // namespace orvell_bench
