#include "frame/frame.h"

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include "frame/taglib_seam.h"

namespace orvell {
namespace {

// An MP3 file carries an ID3v1 tag beside its ID3v2 tag (TagLib always
// keeps both in memory), and TagLib's default save first copies into each
// tag the generic fields the other has and it lacks. It counts a track
// number of 0 as lacking, and then overwrites "TRCK" with the ID3v1 track,
// so a stored pair without a number ("0/12") would be erased on every save.
// This save makes the same copies, except that the ID3v1 track goes into
// the ID3v2 tag only when that has no "TRCK" frame at all.
bool SaveMpeg(TagLib::MPEG::File& file) {
  TagLib::ID3v2::Tag* v2 = file.ID3v2Tag(true);
  if (const TagLib::ID3v1::Tag* v1 = file.ID3v1Tag()) {
    if (v2->title().isEmpty()) v2->setTitle(v1->title());
    if (v2->artist().isEmpty()) v2->setArtist(v1->artist());
    if (v2->album().isEmpty()) v2->setAlbum(v1->album());
    if (v2->comment().isEmpty()) v2->setComment(v1->comment());
    if (v2->genre().isEmpty()) v2->setGenre(v1->genre());
    if (v2->year() == 0) v2->setYear(v1->year());
    if (v2->frameListMap()["TRCK"].isEmpty()) v2->setTrack(v1->track());
  }
  TagLib::Tag::duplicate(v2, file.ID3v1Tag(true), false);
  return file.save(TagLib::MPEG::File::AllTags, TagLib::File::StripOthers, TagLib::ID3v2::v4,
                   TagLib::File::DoNotDuplicate);
}

}  // namespace

OpenFile::OpenFile(const char* path)
    : ref_(TagLib::FileName(path), true, TagLib::AudioProperties::Average) {}

TagLib::PropertyMap OpenFile::Properties() const { return ReadProperties(ref_); }

void OpenFile::SetProperties(const TagLib::PropertyMap& map) {
  WriteProperties(ref_, map);
}

bool OpenFile::Save() {
  if (auto* mpeg = dynamic_cast<TagLib::MPEG::File*>(ref_.file())) return SaveMpeg(*mpeg);
  return ref_.save();
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
