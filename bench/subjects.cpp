#include "subjects.h"

#include <cstdio>
#include <filesystem>

#include "direct.h"
#include "seam/taglib_seam.h"
#include "support/taglib_direct.h"

namespace orvell_bench {
namespace {

TagLib::String Utf8(const std::string& text) { return TagLib::String(text, TagLib::String::UTF8); }

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

// Writes values with TagLib and, when asked, many further properties.
void Store(const std::string& path, const TagValues& values, bool many) {
  WriteDirect(path.c_str(), values);
  if (!many) return;
  orvell_test::Edit(path, [](TagLib::FileRef& ref) {
    TagLib::PropertyMap map = orvell::ReadProperties(ref);
    AddManyFields(map);
    orvell::WriteProperties(ref, map);
  });
}

}  // namespace

TagValues StoredValues() {
  return {"Blue in Green", "Orvell Quartet", "Orvell Quartet", "Silent Standards", "Jazz",
          "Two seconds of silence", "Bill Evans", "Nobody", 1959, 3, 12, 1, 2};
}

TagValues WrittenValues() {
  return {"Café au lait", "Ærø Trio", "Ærø Trio", "Morning Sessions", "Bossa Nova",
          "Recorded live", "Antônio Carlos Jobim", "Claus Ogerman", 2024, 7, 14, 2, 3};
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
