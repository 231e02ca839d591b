// Title, artist, album, genre, comment, year and track through the generic
// tag.
#include "orvell.h"

#include <cstring>

#include "frame/frame.h"
#include "frame/text.h"

namespace orvell {
namespace {

using TextReader = TagLib::String (TagLib::Tag::*)() const;
using TextWriter = void (TagLib::Tag::*)(const TagLib::String&);
using NumberReader = unsigned int (TagLib::Tag::*)() const;

int32_t GetTagText(const char* path, char* buffer, int32_t size, TextReader read) {
  return Guard([&] {
    if (IsBadPath(path)) return kBadPath;
    if (IsBadBuffer(buffer, size)) return -2;
    return WithTag(path, kTextFamily, [&](OpenFile&, TagLib::Tag& tag) {
      return CopyTextOut((tag.*read)(), buffer, size);
    });
  });
}

int32_t SetTagText(const char* path, const char* text, TextWriter write, TextReader read) {
  return Guard([&] {
    if (IsBadPath(path)) return kBadPath;
    if (text == nullptr) return -2;
    return WithTag(path, kTextFamily, [&](OpenFile& file, TagLib::Tag& tag) {
      (tag.*write)(Utf8(text));
      return SaveOnce(file, kSaveFailed, io::Written{std::strlen(text)}.Text(read));
    });
  });
}

int32_t GetTagNumber(const char* path, NumberReader read) {
  return Guard([&] {
    if (IsBadPath(path)) return kBadPath;
    return WithTag(path, kNumberGetter, [&](OpenFile&, TagLib::Tag& tag) {
      return static_cast<int32_t>((tag.*read)());
    });
  });
}

}  // namespace
}  // namespace orvell

using orvell::GetTagNumber;
using orvell::GetTagText;
using orvell::SetTagText;
using TagLib::Tag;

int32_t OV_GetTitle(const char* path, char* buffer, int32_t size) {
  return GetTagText(path, buffer, size, &Tag::title);
}
int32_t OV_GetArtist(const char* path, char* buffer, int32_t size) {
  return GetTagText(path, buffer, size, &Tag::artist);
}
int32_t OV_GetAlbum(const char* path, char* buffer, int32_t size) {
  return GetTagText(path, buffer, size, &Tag::album);
}
int32_t OV_GetGenre(const char* path, char* buffer, int32_t size) {
  return GetTagText(path, buffer, size, &Tag::genre);
}
int32_t OV_GetComment(const char* path, char* buffer, int32_t size) {
  return GetTagText(path, buffer, size, &Tag::comment);
}

int32_t OV_SetTitle(const char* path, const char* text) {
  return SetTagText(path, text, &Tag::setTitle, &Tag::title);
}
int32_t OV_SetArtist(const char* path, const char* text) {
  return SetTagText(path, text, &Tag::setArtist, &Tag::artist);
}
int32_t OV_SetAlbum(const char* path, const char* text) {
  return SetTagText(path, text, &Tag::setAlbum, &Tag::album);
}
int32_t OV_SetGenre(const char* path, const char* text) {
  return SetTagText(path, text, &Tag::setGenre, &Tag::genre);
}
int32_t OV_SetComment(const char* path, const char* text) {
  return SetTagText(path, text, &Tag::setComment, &Tag::comment);
}

int32_t OV_GetYear(const char* path) { return GetTagNumber(path, &Tag::year); }
int32_t OV_GetTrack(const char* path) { return GetTagNumber(path, &Tag::track); }

int32_t OV_SetYear(const char* path, int32_t year) {
  using namespace orvell;
  return Guard([&] {
    if (IsBadPath(path)) return kBadPath;
    if (year < 0) return -2;
    return WithTag(path, kTextFamily, [&](OpenFile& file, TagLib::Tag& tag) {
      tag.setYear(static_cast<unsigned int>(year));
      io::Written written{sizeof year};
      written.year = true;
      return SaveOnce(file, kSaveFailed, written);
    });
  });
}
