// The track and disc pairs as a property map holds them: the pair text
// ("3/12") under TRACKNUMBER or DISCNUMBER, and the total that many
// taggers keep under a key of its own (TRACKTOTAL or TOTALTRACKS,
// DISCTOTAL or TOTALDISCS) beside a pair text without one.
#ifndef ORVELL_TAG_STORED_PAIR_H
#define ORVELL_TAG_STORED_PAIR_H

#include <cstdint>

#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

#include "tag/generic_tag.h"

namespace orvell {

struct PairKeys {
  const char* pair;
  const char* totals[2];  // in the order they are read
  // The generic tag's field for the number: the track number, which
  // readers see when the pair key holds no value at all; none for discs.
  GenericFields number_field;
};

extern const PairKeys kTrackKeys;
extern const PairKeys kDiscKeys;

struct StoredPair {
  int32_t first = 0;
  int32_t second = 0;
};

// The pair as a reader sees it. The pair key's first value gives both
// numbers (text that does not parse gives 0 and 0). When that leaves the
// total at 0, it comes from the first total key holding a value. When the
// pair key holds no value and the number is the track, it is tag's track
// number (none when tag is null).
StoredPair ReadStoredPair(const TagLib::PropertyMap& map, const PairKeys& keys,
                          const TagLib::Tag* tag);

// Stores pair: its text under the pair key, or no pair key when there is
// nothing to store; every total key present is set to the total, or
// erased when the total is 0 or less, so that no reader sees two totals.
// Absent total keys are not added.
void StorePair(TagLib::PropertyMap& map, const PairKeys& keys, const StoredPair& pair);

}  // namespace orvell

#endif
