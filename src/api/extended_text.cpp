// Album artist, composer and conductor through the property map, and the
// artist with its album artist in one save.
#include "orvell.h"

#include <cstring>

#include "api/frame.h"
#include "tag/text.h"

namespace orvell {
namespace {

constexpr const char* kArtist = "ARTIST";
constexpr const char* kAlbumArtist = "ALBUMARTIST";
constexpr const char* kComposer = "COMPOSER";
constexpr const char* kConductor = "CONDUCTOR";

int32_t GetPropertyText(const char* path, char* buffer, int32_t size, const char* key) {
  if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
  if (IsBadBuffer(buffer, size)) return Fail(kBadBuffer, kBadBufferReason);
  // Cleared before the open, so every later failure leaves the empty text.
  buffer[0] = '\0';
  return Guard([&] {
    return WithFile(path, kTextFamily, Access::Read, [&](OpenFile& file) {
      const TagLib::StringList values = Lookup(file.Properties(), key);
      if (values.isEmpty()) return 0;
      return CopyTextOut(values.front(), buffer, size);
    });
  });
}

int32_t SetPropertyText(const char* path, const char* text, const char* key) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (text == nullptr) return Fail(kBadValue, "the text is NULL");
    return WithFile(path, kTextFamily, Access::Write, [&](OpenFile& file) {
      TagLib::PropertyMap map = file.Properties();
      StoreOrErase(map, key, FromUtf8(text));
      file.SetProperties(map, kNoGenericField);
      return SaveOnce(file, kSaveFailed, std::strlen(text), ChangesOf(kNoGenericField, {key}));
    });
  });
}

int32_t SetArtistSync(const char* path, const char* text, int32_t flag) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (text == nullptr) return Fail(kBadValue, "the text is NULL");
    return WithTag(path, kTextFamily, Access::Write, [&](OpenFile& file, TagLib::Tag& tag) {
      const TagLib::String artist = FromUtf8(text);
      if (flag != 0) {
        // The map is read before the artist is set: TagLib builds it from
        // the file's first tag that is not empty, and setting the artist
        // can make an empty first tag the one, leaving the fields of the
        // others out of the map and so out of the file.
        TagLib::PropertyMap map = file.Properties();
        StoreOrErase(map, kArtist, artist);
        StoreOrErase(map, kAlbumArtist, artist);
        file.SetProperties(map, FieldBit(TagText::Artist));
      }
      tag.setArtist(artist);
      return SaveOnce(file, kSaveFailed, 2 * std::strlen(text),
                      ChangesOf(FieldBit(TagText::Artist), {kAlbumArtist}));
    });
  });
}

}  // namespace
}  // namespace orvell

using namespace orvell;

int32_t OV_GetAlbumArtist(const char* path, char* buffer, int32_t size) {
  return GetPropertyText(path, buffer, size, kAlbumArtist);
}
int32_t OV_GetComposer(const char* path, char* buffer, int32_t size) {
  return GetPropertyText(path, buffer, size, kComposer);
}
int32_t OV_GetConductor(const char* path, char* buffer, int32_t size) {
  return GetPropertyText(path, buffer, size, kConductor);
}

int32_t OV_SetAlbumArtist(const char* path, const char* text) {
  return SetPropertyText(path, text, kAlbumArtist);
}
int32_t OV_SetComposer(const char* path, const char* text) {
  return SetPropertyText(path, text, kComposer);
}
int32_t OV_SetConductor(const char* path, const char* text) {
  return SetPropertyText(path, text, kConductor);
}

int32_t OV_SetArtistSync(const char* path, const char* text, int32_t flag) {
  return SetArtistSync(path, text, flag);
}
