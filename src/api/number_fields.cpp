// One half of the track pair or the disc pair, through the property map:
// the pair text under "TRACKNUMBER" or "DISCNUMBER" and the total keys
// beside it.
#include "orvell.h"

#include "api/frame.h"
#include "tag/stored_pair.h"

namespace orvell {
namespace {

enum class Half { First, Second };

int32_t& HalfOf(StoredPair& pair, Half half) {
  return half == Half::First ? pair.first : pair.second;
}

int32_t GetHalf(const char* path, const PairKeys& keys, Half half) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    return WithFile(path, kNumberGetter, Access::Read, [&](OpenFile& file) {
      StoredPair pair = ReadStoredPair(file.Properties(), keys, file.Tag());
      return HalfOf(pair, half);
    });
  });
}

int32_t SetHalf(const char* path, int32_t value, const PairKeys& keys, Half half) {
  return Guard([&] {
    if (IsBadPath(path)) return Fail(kBadPath, kBadPathReason);
    if (value < 0) return Fail(kBadValue, "the number is negative");
    return WithFile(path, kTextFamily, Access::Write, [&](OpenFile& file) {
      TagLib::PropertyMap map = file.Properties();
      // The half kept is the one a reader saw: for the track number, the
      // generic tag's when "TRACKNUMBER" holds none.
      StoredPair pair = ReadStoredPair(map, keys, file.Tag());
      HalfOf(pair, half) = value;
      StorePair(map, keys, pair);
      file.SetProperties(map, keys.number_field);
      save::Changes changes;
      AddPairKeys(changes, keys);
      return SaveOnce(file, kSaveFailed, sizeof value, changes);
    });
  });
}

}  // namespace
}  // namespace orvell

using namespace orvell;

int32_t OV_GetTrackTotal(const char* path) { return GetHalf(path, kTrackKeys, Half::Second); }
int32_t OV_GetDisc(const char* path) { return GetHalf(path, kDiscKeys, Half::First); }
int32_t OV_GetDiscTotal(const char* path) { return GetHalf(path, kDiscKeys, Half::Second); }

int32_t OV_SetTrack(const char* path, int32_t value) {
  return SetHalf(path, value, kTrackKeys, Half::First);
}
int32_t OV_SetTrackTotal(const char* path, int32_t value) {
  return SetHalf(path, value, kTrackKeys, Half::Second);
}
int32_t OV_SetDisc(const char* path, int32_t value) {
  return SetHalf(path, value, kDiscKeys, Half::First);
}
int32_t OV_SetDiscTotal(const char* path, int32_t value) {
  return SetHalf(path, value, kDiscKeys, Half::Second);
}
