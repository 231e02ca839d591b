// The tag record: the 17 fields both bulk blocks carry, known only by their
// place. The read block holds all 17; write record i is field i for i from
// 0 to 12 (13 to 16 are audio properties, read only).
#ifndef ORVELL_TAG_TAG_FIELD_H
#define ORVELL_TAG_TAG_FIELD_H

#include <cstddef>

#include <taglib/audioproperties.h>

#include "tag/generic_tag.h"
#include "tag/stored_pair.h"

namespace orvell {

enum class TagField : int {
  Title, Artist, AlbumArtist, Album, Genre, Comment, Composer, Conductor,
  Year, Track, TrackTotal, Disc, DiscTotal,
  Duration, Bitrate, SampleRate, Channels,
};

constexpr size_t kReadFieldCount = 17;
constexpr size_t kWriteRecordCount = 13;

enum class FieldKind { Text, Integer };

// Where a field is read from and written to.
enum class FieldSource {
  TagText,       // a generic tag text field
  PropertyText,  // the first value of a property key
  TagYear,       // Tag::year() / Tag::setYear()
  PairFirst,     // first number of a track or disc pair
  PairSecond,    // second number of a track or disc pair
  Audio,         // an audio property, never written
};

struct FieldEntry {
  TagField field;
  FieldKind kind;
  FieldSource source;
  // PropertyText fields: the property key.
  const char* key;
  // TagText fields: which one.
  TagText text;
  // Pair fields: the keys of their pair.
  const PairKeys* pair;
  // Audio fields: the measurement (milliseconds for the duration).
  int (TagLib::AudioProperties::*measure)() const;
};

// Indexed by TagField.
extern const FieldEntry kFieldTable[kReadFieldCount];

inline const FieldEntry& FieldAt(size_t index) { return kFieldTable[index]; }

}  // namespace orvell

#endif
