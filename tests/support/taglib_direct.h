// Reading and writing fixture state with TagLib directly, bypassing the
// library: how tests set a file up and how they see what another reader
// sees after a write.
#ifndef ORVELL_TESTS_SUPPORT_TAGLIB_DIRECT_H
#define ORVELL_TESTS_SUPPORT_TAGLIB_DIRECT_H

#include <functional>
#include <map>
#include <string>
#include <vector>

#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

namespace orvell_test {

struct DirectTag {
  std::string title, artist, album, genre, comment;
  unsigned int year = 0;
  unsigned int track = 0;
};

// The generic tag fields as TagLib reports them.
DirectTag ReadTag(const std::string& path);

// The whole property map.
TagLib::PropertyMap ReadPropertyMap(const std::string& path);

// The values under one property key, as UTF-8; empty when absent.
std::vector<std::string> Values(const std::string& path, const std::string& key);

// Every property but key, as UTF-8: what a setter of key must leave alone.
std::map<std::string, std::vector<std::string>> PropertiesExcept(const std::string& path,
                                                                 const std::string& key);

// Opens path, lets edit change it, saves. Throws when the file does not
// open or the save fails.
void Edit(const std::string& path, const std::function<void(TagLib::FileRef&)>& edit);

// Replaces key with values (UTF-8), or erases it for an empty list, and
// saves.
void SetValues(const std::string& path, const std::string& key,
               const std::vector<std::string>& values);

// Empties every generic field and removes every property, then saves.
void ClearAll(const std::string& path);

// Splits the track of a WavPack file between its two tags: the APE tag
// gets the title "Split" and "TRACKNUMBER" ape_track (none when empty), an
// ID3v1 tag the track number id3v1_track. TagLib reads the property map of
// such a file from the APE tag alone, while Tag::track() falls back to the
// ID3v1 track whenever the APE track does not read as a positive number.
// Its save copies nothing from one tag into the other.
void SplitWavPackTrack(const std::string& path, const std::string& ape_track,
                       unsigned int id3v1_track);

}  // namespace orvell_test

#endif
