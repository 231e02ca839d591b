// The fields of TagLib's generic tag as the library shows and keeps them:
// several values of a text field joined the same way on every TagLib line
// and format, and every field a reader saw kept across a write of the
// property map.
#ifndef ORVELL_TAG_GENERIC_TAG_H
#define ORVELL_TAG_GENERIC_TAG_H

#include <array>
#include <cstddef>
#include <vector>

#include <taglib/tag.h>
#include <taglib/tpropertymap.h>
#include <taglib/tstring.h>

namespace orvell {

// The generic tag's text fields.
enum class TagText { Title, Artist, Album, Genre, Comment };
constexpr size_t kTagTextCount = 5;

// A set of the generic tag's fields: the five texts, the year, the track.
using GenericFields = unsigned;
constexpr GenericFields kNoGenericField = 0;
constexpr GenericFields FieldBit(TagText field) { return 1u << static_cast<unsigned>(field); }
constexpr GenericFields kYearBit = 1u << kTagTextCount;
constexpr GenericFields kTrackBit = kYearBit << 1;
constexpr GenericFields kAllGenericFields = (kTrackBit << 1) - 1;

// TagLib's own accessors for one text field.
using TagTextReader = TagLib::String (TagLib::Tag::*)() const;
TagTextReader ReaderOf(TagText field);
TagLib::String ReadTagText(const TagLib::Tag& tag, TagText field);
void WriteTagText(TagLib::Tag& tag, TagText field, const TagLib::String& text);

// Whether text could be several values that TagLib's generic accessor
// joined: it holds a separator TagLib joins with. When it does not, text
// is what callers see and the property map need not be read.
bool MayBeJoined(const TagLib::String& text);

// The text fields that hold several values in a property map. TagLib's
// generic accessors join such values with " " (1.x) or " / " (2.x), and
// with ", " for MP4 on both lines; callers see them joined by " / ".
class SeveralValues {
 public:
  // One pass over map, which must outlive this object.
  explicit SeveralValues(const TagLib::PropertyMap& map);
  // text as the generic tag gave it for field or, when TagLib joined it
  // from several values of the map, those values joined by " / ".
  TagLib::String Shown(TagText field, const TagLib::String& text) const;

 private:
  // Per key of the table in generic_tag.cpp; null unless it holds two
  // values or more.
  std::array<const TagLib::StringList*, kTagTextCount + 1> values_{};
};

// The fields among fields whose property key ("TITLE", "ARTIST", "ALBUM",
// "GENRE", "COMMENT", "DATE", "TRACKNUMBER") map holds no value under.
GenericFields AbsentFrom(const TagLib::PropertyMap& map, GenericFields fields);

// The property keys of the fields among fields, in that order.
std::vector<const char*> PropertyKeysOf(GenericFields fields);

// What the generic tag showed of some fields before a property map goes
// back to the file. TagLib builds a file's map from one of its tags, and
// writing it back empties the fields of the file's other tags that the map
// lacks: an MP3 whose ID3v2 tag holds only an encoder frame loses the
// title, artist and the rest of its ID3v1 tag. A field the map holds is
// written back with it and needs no snapshot.
class GenericSnapshot {
 public:
  GenericSnapshot(const TagLib::Tag& tag, GenericFields fields);
  // Sets back through the tag every field of the snapshot that held a
  // value and no longer reads as it did.
  void Restore(TagLib::Tag& tag) const;

 private:
  GenericFields fields_;
  std::array<TagLib::String, kTagTextCount> text_;
  unsigned int year_ = 0;
  unsigned int track_ = 0;
};

}  // namespace orvell

#endif
