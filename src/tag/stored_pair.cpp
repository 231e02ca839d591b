#include "tag/stored_pair.h"

#include "tag/properties.h"
#include "tag/number_pair.h"

namespace orvell {

const PairKeys kTrackKeys{"TRACKNUMBER", {"TRACKTOTAL", "TOTALTRACKS"}, kTrackBit};
const PairKeys kDiscKeys{"DISCNUMBER", {"DISCTOTAL", "TOTALDISCS"}, kNoGenericField};

StoredPair ReadStoredPair(const TagLib::PropertyMap& map, const PairKeys& keys,
                          const TagLib::Tag* tag) {
  StoredPair pair;
  const TagLib::StringList values = Lookup(map, keys.pair);
  if (!values.isEmpty()) {
    ParseNumberPair(values.front(), pair.first, pair.second);
  } else if (keys.number_field == kTrackBit && tag != nullptr) {
    pair.first = static_cast<int32_t>(tag->track());
  }
  if (pair.second != 0) return pair;
  for (const char* key : keys.totals) {
    const TagLib::StringList totals = Lookup(map, key);
    if (totals.isEmpty()) continue;
    int32_t ignored = 0;
    ParseNumberPair(totals.front(), pair.second, ignored);
    break;
  }
  return pair;
}

void StorePair(TagLib::PropertyMap& map, const PairKeys& keys, const StoredPair& pair) {
  const TagLib::String text = FormatNumberPair(pair.first, pair.second);
  StoreOrErase(map, keys.pair, text);
  const TagLib::String total = !text.isEmpty() && pair.second > 0
                                   ? TagLib::String(FormatDecimal(pair.second))
                                   : TagLib::String();
  for (const char* key : keys.totals) {
    if (Find(map, key) != nullptr) StoreOrErase(map, key, total);
  }
}

}  // namespace orvell
