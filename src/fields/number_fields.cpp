// One half of the track pair ("TRACKNUMBER") or the disc pair
// ("DISCNUMBER"), through the property map only.
#include "orvell.h"

#include "frame/frame.h"
#include "numbers/number_pair.h"

namespace orvell {
namespace {

constexpr const char* kTrackKey = "TRACKNUMBER";
constexpr const char* kDiscKey = "DISCNUMBER";

enum class Half { First, Second };

// The pair stored under key; (0, 0) when absent or unreadable.
void StoredPair(const TagLib::PropertyMap& map, const char* key, int32_t& first,
                int32_t& second) {
  first = 0;
  second = 0;
  const TagLib::StringList values = Lookup(map, key);
  if (!values.isEmpty()) ParseNumberPair(values.front(), first, second);
}

int32_t GetHalf(const char* path, const char* key, Half half) {
  return Guard([&] {
    if (IsBadPath(path)) return kBadPath;
    return WithFile(path, kNumberGetter, [&](OpenFile& file) {
      int32_t first = 0;
      int32_t second = 0;
      StoredPair(file.Properties(), key, first, second);
      return half == Half::First ? first : second;
    });
  });
}

// A track number set must read back through the generic tag.
io::Written Written(const char* key, Half half) {
  io::Written written{sizeof(int32_t)};
  written.track = key == kTrackKey && half == Half::First;
  return written;
}

int32_t SetHalf(const char* path, int32_t value, const char* key, Half half) {
  return Guard([&] {
    if (IsBadPath(path)) return kBadPath;
    if (value < 0) return -2;
    return WithFile(path, kTextFamily, [&](OpenFile& file) {
      TagLib::PropertyMap map = file.Properties();
      int32_t first = 0;
      int32_t second = 0;
      StoredPair(map, key, first, second);
      (half == Half::First ? first : second) = value;
      StoreOrErase(map, key, FormatNumberPair(first, second));
      file.SetProperties(map);
      return SaveOnce(file, kSaveFailed, Written(key, half));
    });
  });
}

}  // namespace
}  // namespace orvell

using namespace orvell;

int32_t OV_GetTrackTotal(const char* path) { return GetHalf(path, kTrackKey, Half::Second); }
int32_t OV_GetDisc(const char* path) { return GetHalf(path, kDiscKey, Half::First); }
int32_t OV_GetDiscTotal(const char* path) { return GetHalf(path, kDiscKey, Half::Second); }

int32_t OV_SetTrack(const char* path, int32_t value) {
  return SetHalf(path, value, kTrackKey, Half::First);
}
int32_t OV_SetTrackTotal(const char* path, int32_t value) {
  return SetHalf(path, value, kTrackKey, Half::Second);
}
int32_t OV_SetDisc(const char* path, int32_t value) {
  return SetHalf(path, value, kDiscKey, Half::First);
}
int32_t OV_SetDiscTotal(const char* path, int32_t value) {
  return SetHalf(path, value, kDiscKey, Half::Second);
}
