// Title, artist, album, genre, comment, year and track through the generic
// tag.
#include "orvell.h"

#include <cstring>

#include "api/frame.h"
#include "tag/text.h"

namespace orvell {
namespace {

using NumberReader = unsigned int (TagLib::Tag::*)() const;

// The field as callers see it: several values joined by " / ". The
// property map, which holds the values one by one, is read only for a text
// TagLib may have joined.
TagLib::String ShownText(const OpenFile& file, const TagLib::Tag& tag, TagText field) {
  const TagLib::String text = ReadTagText(tag, field);
  if (!MayBeJoined(text) && !file.ShowsFirstValueOnly()) return text;
  const TagLib::PropertyMap map = file.Properties();
  return SeveralValues(map).Shown(field, text);
}

int32_t GetTagText(const char* path, char* buffer, int32_t size, TagText field) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (IsBadBuffer(buffer, size)) return Fail(kBadBuffer, kBadBufferReason);
    return WithTag(path, kTextFamily, Access::Read, [&](OpenFile& file, TagLib::Tag& tag) {
      return CopyTextOut(ShownText(file, tag, field), buffer, size);
    });
  });
}

int32_t SetTagText(const char* path, const char* text, TagText field) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (text == nullptr) return Fail(kBadValue, "the text is NULL");
    return WithTag(path, kTextFamily, Access::Write, [&](OpenFile& file, TagLib::Tag& tag) {
      WriteTagText(tag, field, FromUtf8(text));
      return SaveOnce(file, kSaveFailed, std::strlen(text), FieldBit(field));
    });
  });
}

int32_t GetTagNumber(const char* path, NumberReader read) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    return WithTag(path, kNumberGetter, Access::Read, [&](OpenFile&, TagLib::Tag& tag) {
      return static_cast<int32_t>((tag.*read)());
    });
  });
}

}  // namespace
}  // namespace orvell

using orvell::GetTagNumber;
using orvell::GetTagText;
using orvell::SetTagText;
using orvell::TagText;

int32_t OV_GetTitle(const char* path, char* buffer, int32_t size) {
  return GetTagText(path, buffer, size, TagText::Title);
}
int32_t OV_GetArtist(const char* path, char* buffer, int32_t size) {
  return GetTagText(path, buffer, size, TagText::Artist);
}
int32_t OV_GetAlbum(const char* path, char* buffer, int32_t size) {
  return GetTagText(path, buffer, size, TagText::Album);
}
int32_t OV_GetGenre(const char* path, char* buffer, int32_t size) {
  return GetTagText(path, buffer, size, TagText::Genre);
}
int32_t OV_GetComment(const char* path, char* buffer, int32_t size) {
  return GetTagText(path, buffer, size, TagText::Comment);
}

int32_t OV_SetTitle(const char* path, const char* text) {
  return SetTagText(path, text, TagText::Title);
}
int32_t OV_SetArtist(const char* path, const char* text) {
  return SetTagText(path, text, TagText::Artist);
}
int32_t OV_SetAlbum(const char* path, const char* text) {
  return SetTagText(path, text, TagText::Album);
}
int32_t OV_SetGenre(const char* path, const char* text) {
  return SetTagText(path, text, TagText::Genre);
}
int32_t OV_SetComment(const char* path, const char* text) {
  return SetTagText(path, text, TagText::Comment);
}

int32_t OV_GetYear(const char* path) { return GetTagNumber(path, &TagLib::Tag::year); }
int32_t OV_GetTrack(const char* path) { return GetTagNumber(path, &TagLib::Tag::track); }

int32_t OV_SetYear(const char* path, int32_t year) {
  using namespace orvell;
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (year < 0) return Fail(kBadValue, "the number is negative");
    return WithTag(path, kTextFamily, Access::Write, [&](OpenFile& file, TagLib::Tag& tag) {
      tag.setYear(static_cast<unsigned int>(year));
      return SaveOnce(file, kSaveFailed, sizeof year, kYearBit);
    });
  });
}
