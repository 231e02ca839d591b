// The tag record: the 17 fields both bulk blocks carry, known only by their
// place. The read block holds all 17; write record i is field i for i from
// 0 to 12 (13 to 16 are audio properties, read only).
#ifndef ORVELL_BULK_TAG_FIELD_H
#define ORVELL_BULK_TAG_FIELD_H

#include <cstddef>

#include <taglib/audioproperties.h>
#include <taglib/tag.h>
#include <taglib/tstring.h>

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
  TagText,       // a generic tag text accessor pair
  PropertyText,  // the first value of a property key
  TagYear,       // Tag::year() / Tag::setYear()
  PairFirst,     // first number of a number-pair property
  PairSecond,    // second number of a number-pair property
  Audio,         // an audio property, never written
};

struct FieldEntry {
  TagField field;
  FieldKind kind;
  FieldSource source;
  // PropertyText and pair fields: the property key.
  const char* key;
  // TagText fields: the accessors of the generic tag.
  TagLib::String (TagLib::Tag::*read)() const;
  void (TagLib::Tag::*write)(const TagLib::String&);
  // Audio fields: the measurement (milliseconds for the duration).
  int (TagLib::AudioProperties::*measure)() const;
};

// Indexed by TagField.
extern const FieldEntry kFieldTable[kReadFieldCount];

inline const FieldEntry& FieldAt(size_t index) { return kFieldTable[index]; }

}  // namespace orvell

#endif
