// OV_ReadPictures, OV_GetPicture, OV_SetPicture and OV_RemovePictures: the
// pictures a file holds, wherever its format keeps them (tag/pictures.h).
#include "orvell.h"

#include <cstring>
#include <string>

#include "api/frame.h"
#include "tag/property_block.h"
#include "tag/text.h"

namespace orvell {
namespace {

constexpr int32_t kNoSuchPicture = -6;
constexpr int32_t kPictureNotHeld = -6;

std::string PictureBlock(const std::vector<Picture>& pictures) {
  std::string block;
  for (const Picture& picture : pictures) {
    AppendField(block, std::to_string(picture.type));
    AppendField(block, picture.mime);
    AppendField(block, picture.description);
    AppendField(block, std::to_string(picture.data.size()));
  }
  return block;
}

std::vector<Picture> PicturesIn(const OpenFile& file) {
  const auto store = file.Pictures(false);
  return store == nullptr ? std::vector<Picture>() : store->List();
}

int32_t ReadPictures(const char* path, char* buffer, int32_t size) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (IsBadReadBuffer(buffer, size)) return Fail(kBadBuffer, kBadReadBufferReason);
    if (buffer != nullptr) buffer[0] = '\0';
    return WithTag(path, kTextFamily, Access::Read, [&](OpenFile& file, TagLib::Tag&) {
      return HandOutBlock(PictureBlock(PicturesIn(file)), buffer, size);
    });
  });
}

int32_t GetPicture(const char* path, int32_t index, char* buffer, int32_t size) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (index < 0) return Fail(kBadBuffer, "the index is below 0");
    if (IsBadReadBuffer(buffer, size)) return Fail(kBadBuffer, kBadReadBufferReason);
    return WithTag(path, kTextFamily, Access::Read, [&](OpenFile& file, TagLib::Tag&) {
      const std::vector<Picture> pictures = PicturesIn(file);
      if (static_cast<size_t>(index) >= pictures.size()) {
        return Fail(kNoSuchPicture, ("the file holds " + std::to_string(pictures.size()) +
                                     " pictures; there is none at index " + std::to_string(index))
                                        .c_str());
      }
      const TagLib::ByteVector& data = pictures[static_cast<size_t>(index)].data;
      return HandOutBytes(data.data(), data.size(), buffer, size);
    });
  });
}

int32_t SetPicture(const char* path, int32_t type, const char* mime, const char* description,
                   const char* data, int32_t size) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (type < 0 || type > kLastPictureType) return Fail(kBadValue, "the type is outside 0 to 20");
    if (data == nullptr || size <= 0) return Fail(kBadValue, "the picture is NULL or empty");
    Picture picture;
    picture.type = type;
    picture.data = TagLib::ByteVector(data, static_cast<unsigned int>(size));
    picture.mime = mime != nullptr && mime[0] != '\0' ? RepairedUtf8(mime, std::strlen(mime))
                                                     : ImageTypeOf(picture.data);
    if (picture.mime.empty()) {
      return Fail(kBadValue,
                  "the picture's bytes tell no image type (JPEG, PNG, GIF, BMP, WebP): give its "
                  "MIME type");
    }
    if (description != nullptr) picture.description = RepairedUtf8(description, std::strlen(description));
    return WithTag(path, kTextFamily, Access::Write, [&](OpenFile& file, TagLib::Tag&) {
      const auto store = file.Pictures(true);
      if (store == nullptr) return Fail(kPictureNotHeld, "this format holds no pictures");
      if (const char* why = store->CannotHold(picture)) return Fail(kPictureNotHeld, why);
      store->Replace(picture);
      save::Changes changes;
      changes.pictures = true;
      return SaveOnce(file, kSaveFailed, static_cast<size_t>(size), changes);
    });
  });
}

int32_t RemovePictures(const char* path, int32_t type) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (type < -1 || type > kLastPictureType) return Fail(kBadValue, "the type is outside -1 to 20");
    return WithTag(path, kTextFamily, Access::Write, [&](OpenFile& file, TagLib::Tag&) {
      const auto store = file.Pictures(false);
      bool held = false;
      for (const Picture& picture : store == nullptr ? std::vector<Picture>() : store->List()) {
        held = held || type < 0 || picture.type == type;
      }
      if (!held) return 0;
      store->Remove(type);
      save::Changes changes;
      changes.pictures = true;
      return SaveOnce(file, kSaveFailed, 0, changes);
    });
  });
}

}  // namespace
}  // namespace orvell

int32_t OV_ReadPictures(const char* path, char* buffer, int32_t size) {
  return orvell::ReadPictures(path, buffer, size);
}
int32_t OV_GetPicture(const char* path, int32_t index, char* buffer, int32_t size) {
  return orvell::GetPicture(path, index, buffer, size);
}
int32_t OV_SetPicture(const char* path, int32_t type, const char* mime, const char* description,
                      const char* data, int32_t size) {
  return orvell::SetPicture(path, type, mime, description, data, size);
}
int32_t OV_RemovePictures(const char* path, int32_t type) {
  return orvell::RemovePictures(path, type);
}
