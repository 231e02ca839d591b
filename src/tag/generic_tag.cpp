#include "tag/generic_tag.h"

#include "tag/properties.h"
#include "seam/taglib_seam.h"

namespace orvell {
namespace {

struct TextAccessors {
  TagLib::String (TagLib::Tag::*read)() const;
  void (TagLib::Tag::*write)(const TagLib::String&);
};

// Indexed by TagText.
constexpr TextAccessors kAccessors[kTagTextCount] = {
    {&TagLib::Tag::title, &TagLib::Tag::setTitle},
    {&TagLib::Tag::artist, &TagLib::Tag::setArtist},
    {&TagLib::Tag::album, &TagLib::Tag::setAlbum},
    {&TagLib::Tag::genre, &TagLib::Tag::setGenre},
    {&TagLib::Tag::comment, &TagLib::Tag::setComment},
};

// The property keys a text field's values may stand under. A Vorbis
// comment's generic comment is its DESCRIPTION when it has one.
struct ValueKey {
  const char* key;
  TagText field;
};
constexpr ValueKey kValueKeys[kTagTextCount + 1] = {
    {"TITLE", TagText::Title},
    {"ARTIST", TagText::Artist},
    {"ALBUM", TagText::Album},
    {"GENRE", TagText::Genre},
    {"DESCRIPTION", TagText::Comment},
    {"COMMENT", TagText::Comment},
};

size_t Index(TagText field) { return static_cast<size_t>(field); }

bool Has(GenericFields fields, GenericFields field) { return (fields & field) != 0; }

// The key of each generic field in a property map, in bit order.
constexpr const char* kFieldKeys[] = {"TITLE",   "ARTIST", "ALBUM",      "GENRE",
                                      "COMMENT", "DATE",   "TRACKNUMBER"};
static_assert(sizeof kFieldKeys / sizeof kFieldKeys[0] == kTagTextCount + 2,
              "one key per generic field");

}  // namespace

TagTextReader ReaderOf(TagText field) { return kAccessors[Index(field)].read; }

TagLib::String ReadTagText(const TagLib::Tag& tag, TagText field) {
  return (tag.*kAccessors[Index(field)].read)();
}

void WriteTagText(TagLib::Tag& tag, TagText field, const TagLib::String& text) {
  (tag.*kAccessors[Index(field)].write)(text);
}

bool MayBeJoined(const TagLib::String& text) { return HoldsTagLibSeparator(text); }

SeveralValues::SeveralValues(const TagLib::PropertyMap& map) {
  for (const auto& entry : map) {
    // Nearly every entry holds one value; only the others are looked at.
    if (entry.second.size() < 2) continue;
    for (size_t k = 0; k < values_.size(); ++k) {
      if (entry.first == kValueKeys[k].key) values_[k] = &entry.second;
    }
  }
}

TagLib::String SeveralValues::Shown(TagText field, const TagLib::String& text) const {
  for (size_t k = 0; k < values_.size(); ++k) {
    if (kValueKeys[k].field != field || values_[k] == nullptr) continue;
    if (JoinedByTagLib(text, *values_[k])) return values_[k]->toString(" / ");
  }
  return text;
}

GenericFields AbsentFrom(const TagLib::PropertyMap& map, GenericFields fields) {
  GenericFields absent = kNoGenericField;
  for (size_t i = 0; i < kTagTextCount + 2; ++i) {
    const GenericFields field = 1u << i;
    if (!Has(fields, field)) continue;
    const TagLib::StringList* values = Find(map, kFieldKeys[i]);
    if (values == nullptr || values->isEmpty()) absent |= field;
  }
  return absent;
}

std::vector<const char*> PropertyKeysOf(GenericFields fields) {
  std::vector<const char*> keys;
  for (size_t i = 0; i < kTagTextCount + 2; ++i) {
    if (Has(fields, 1u << i)) keys.push_back(kFieldKeys[i]);
  }
  return keys;
}

GenericSnapshot::GenericSnapshot(const TagLib::Tag& tag, GenericFields fields) : fields_(fields) {
  for (size_t i = 0; i < kTagTextCount; ++i) {
    const TagText field = static_cast<TagText>(i);
    if (Has(fields_, FieldBit(field))) text_[i] = ReadTagText(tag, field);
  }
  if (Has(fields_, kYearBit)) year_ = tag.year();
  if (Has(fields_, kTrackBit)) track_ = tag.track();
}

void GenericSnapshot::Restore(TagLib::Tag& tag) const {
  // Only fields that held a value are set back. A field the write of the
  // map filled where the generic tag showed none (TagLib 1.x shows only
  // the ID3v2 tag of a WAV file, while its map may come from RIFF INFO)
  // keeps what it gained.
  for (size_t i = 0; i < kTagTextCount; ++i) {
    const TagText field = static_cast<TagText>(i);
    if (!Has(fields_, FieldBit(field)) || text_[i].isEmpty()) continue;
    if (ReadTagText(tag, field) != text_[i]) WriteTagText(tag, field, text_[i]);
  }
  if (year_ != 0 && tag.year() != year_) tag.setYear(year_);
  if (track_ != 0 && tag.track() != track_) tag.setTrack(track_);
}

}  // namespace orvell
