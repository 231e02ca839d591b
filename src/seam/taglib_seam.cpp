#include "seam/taglib_seam.h"

#include <cwchar>
#include <vector>

#include <taglib/apetag.h>
#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/taglib.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfile.h>
#include <taglib/wavfile.h>
#include <taglib/xiphcomment.h>

// ORVELL_TAGLIB_MAJOR comes from the version pkg-config reports; a mismatch
// with the header means the build found two different TagLib installs.
static_assert(TAGLIB_MAJOR_VERSION == ORVELL_TAGLIB_MAJOR,
              "pkg-config and the TagLib headers report different versions");

namespace orvell {

namespace {

// Each of these fills one of TagLib's lazily built tables. Setting a title
// on a detached tag object goes through the whole key translation of its
// format and touches no file.
bool FillSharedTables() {
  TagLib::PropertyMap title;
  title.replace(TagLib::String("TITLE"), TagLib::StringList(TagLib::String("x")));
  TagLib::MP4::Tag().setProperties(title);
  TagLib::ASF::Tag().setProperties(title);
  TagLib::ID3v2::TextIdentificationFrame::involvedPeopleMap();
#if ORVELL_TAGLIB_MAJOR >= 2
  TagLib::RIFF::Info::Tag().setProperties(title);
#endif
  return true;
}

#if ORVELL_TAGLIB_MAJOR < 2
// A WAV file's ID3v2 and RIFF INFO tags as one, as TagLib 2's union of
// them: each field from the first tag that holds it, written to both.
class WavTags final : public TagLib::Tag {
 public:
  explicit WavTags(TagLib::RIFF::WAV::File& file)
      : tags_{file.ID3v2Tag(), file.InfoTag()} {}

  TagLib::String title() const override { return First(&TagLib::Tag::title); }
  TagLib::String artist() const override { return First(&TagLib::Tag::artist); }
  TagLib::String album() const override { return First(&TagLib::Tag::album); }
  TagLib::String comment() const override { return First(&TagLib::Tag::comment); }
  TagLib::String genre() const override { return First(&TagLib::Tag::genre); }
  unsigned int year() const override { return First(&TagLib::Tag::year); }
  unsigned int track() const override { return First(&TagLib::Tag::track); }
  void setTitle(const TagLib::String& s) override { Both(&TagLib::Tag::setTitle, s); }
  void setArtist(const TagLib::String& s) override { Both(&TagLib::Tag::setArtist, s); }
  void setAlbum(const TagLib::String& s) override { Both(&TagLib::Tag::setAlbum, s); }
  void setComment(const TagLib::String& s) override { Both(&TagLib::Tag::setComment, s); }
  void setGenre(const TagLib::String& s) override { Both(&TagLib::Tag::setGenre, s); }
  void setYear(unsigned int i) override { Both(&TagLib::Tag::setYear, i); }
  void setTrack(unsigned int i) override { Both(&TagLib::Tag::setTrack, i); }
  bool isEmpty() const override {
    return (tags_[0] == nullptr || tags_[0]->isEmpty()) && (tags_[1] == nullptr || tags_[1]->isEmpty());
  }

 private:
  template <typename Value>
  Value First(Value (TagLib::Tag::*read)() const) const {
    for (const TagLib::Tag* tag : tags_) {
      if (tag == nullptr) continue;
      Value value = (tag->*read)();
      if (value != Value()) return value;
    }
    return Value();
  }
  template <typename Param, typename Value>
  void Both(void (TagLib::Tag::*write)(Param), const Value& value) {
    for (TagLib::Tag* tag : tags_) {
      if (tag != nullptr) (tag->*write)(value);
    }
  }

  TagLib::Tag* tags_[2];
};

// The RIFF INFO fields that stand for a property key, as the 2.x line
// maps them.
struct InfoKey {
  const char* id;
  const char* key;
};
constexpr InfoKey kInfoKeys[] = {
    {"IPRD", "ALBUM"},         {"IENG", "ARRANGER"},    {"IART", "ARTIST"},
    {"IBSU", "ARTISTWEBPAGE"}, {"IBPM", "BPM"},         {"ICMT", "COMMENT"},
    {"IMUS", "COMPOSER"},      {"ICOP", "COPYRIGHT"},   {"ICRD", "DATE"},
    {"PRT1", "DISCSUBTITLE"},  {"ITCH", "ENCODEDBY"},   {"ISFT", "ENCODING"},
    {"IDIT", "ENCODINGTIME"},  {"IGNR", "GENRE"},       {"ISRC", "ISRC"},
    {"IPUB", "LABEL"},         {"ILNG", "LANGUAGE"},    {"IWRI", "LYRICIST"},
    {"IMED", "MEDIA"},         {"ISTR", "PERFORMER"},   {"ICNT", "RELEASECOUNTRY"},
    {"IEDT", "REMIXER"},       {"INAM", "TITLE"},       {"IPRT", "TRACKNUMBER"},
};

// kInfoKeys as TagLib's own types, made once: a write or read of INFO
// looks up every one of them.
struct InfoField {
  TagLib::ByteVector id;
  TagLib::String key;
};
const std::vector<InfoField>& InfoFields() {
  static const std::vector<InfoField> fields = [] {
    std::vector<InfoField> made;
    for (const InfoKey& entry : kInfoKeys) made.push_back({TagLib::ByteVector(entry.id), entry.key});
    return made;
  }();
  return fields;
}

TagLib::PropertyMap InfoProperties(const TagLib::RIFF::Info::Tag& info) {
  TagLib::PropertyMap map;
  const TagLib::RIFF::Info::FieldListMap fields = info.fieldListMap();
  if (fields.isEmpty()) return map;
  for (const InfoField& entry : InfoFields()) {
    const auto found = fields.find(entry.id);
    if (found != fields.end()) map[entry.key].append(found->second);
  }
  return map;
}

// As the 2.x line's write: the fields of keys map lacks or holds no value
// under are removed, and each key's first value stored. The map's keys are
// upper case, as the table's are.
void SetInfoProperties(TagLib::RIFF::Info::Tag& info, const TagLib::PropertyMap& map) {
  const TagLib::SimplePropertyMap& plain = map;
  const TagLib::RIFF::Info::FieldListMap fields = info.fieldListMap();
  for (const InfoField& entry : InfoFields()) {
    const auto found = plain.find(entry.key);
    if (found == plain.end() || found->second.isEmpty()) {
      if (fields.contains(entry.id)) info.removeField(entry.id);
    } else {
      info.setFieldText(entry.id, found->second.front());
    }
  }
}
#endif

}  // namespace

TagLib::Tag* GenericTag(const TagLib::FileRef& ref, std::unique_ptr<TagLib::Tag>& made) {
#if ORVELL_TAGLIB_MAJOR < 2
  if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(ref.file())) {
    made = std::make_unique<WavTags>(*wav);
    return made.get();
  }
#else
  (void)made;
#endif
  return ref.tag();
}

TagLib::PropertyMap TagProperties(const TagLib::Tag& tag) {
#if ORVELL_TAGLIB_MAJOR >= 2
  return tag.properties();
#else
  // On the 1.x line properties() is not virtual: each type's own is
  // called through its type.
  if (const auto* id3v2 = dynamic_cast<const TagLib::ID3v2::Tag*>(&tag)) return id3v2->properties();
  if (const auto* ape = dynamic_cast<const TagLib::APE::Tag*>(&tag)) return ape->properties();
  if (const auto* xiph = dynamic_cast<const TagLib::Ogg::XiphComment*>(&tag)) return xiph->properties();
  if (const auto* info = dynamic_cast<const TagLib::RIFF::Info::Tag*>(&tag)) return InfoProperties(*info);
  return tag.properties();
#endif
}

void SetTagProperties(TagLib::Tag& tag, const TagLib::PropertyMap& map) {
#if ORVELL_TAGLIB_MAJOR >= 2
  tag.setProperties(map);
#else
  if (auto* id3v2 = dynamic_cast<TagLib::ID3v2::Tag*>(&tag)) {
    id3v2->setProperties(map);
  } else if (auto* ape = dynamic_cast<TagLib::APE::Tag*>(&tag)) {
    ape->setProperties(map);
  } else if (auto* xiph = dynamic_cast<TagLib::Ogg::XiphComment*>(&tag)) {
    xiph->setProperties(map);
  } else if (auto* info = dynamic_cast<TagLib::RIFF::Info::Tag*>(&tag)) {
    SetInfoProperties(*info, map);
  } else {
    tag.setProperties(map);
  }
#endif
}

bool OpensAsMpegByName(std::string_view extension) {
#if ORVELL_TAGLIB_MAJOR >= 2
  return extension == "mp3" || extension == "mp2" || extension == "aac";
#else
  return extension == "mp3";
#endif
}

void BuildSharedTables() {
  // A function-local static is initialised exactly once, and other threads
  // wait for it.
  static const bool built = FillSharedTables();
  (void)built;
}

#if ORVELL_TAGLIB_MAJOR < 2
// TagLib 2 reads and writes any upper-case key an MP4 file's tag does not
// name an atom for as an iTunes free-form item ("----:com.apple.iTunes:"
// and the key); TagLib 1 neither shows nor takes them. The same is done
// here for TagLib 1, so that both lines keep the same keys.
constexpr const char kFreeFormPrefix[] = "----:com.apple.iTunes:";

TagLib::MP4::Tag* Mp4TagOf(const TagLib::FileRef& ref) {
  auto* file = dynamic_cast<TagLib::MP4::File*>(ref.file());
  return file == nullptr ? nullptr : file->tag();
}

void AddFreeFormItems(const TagLib::MP4::Tag& tag, TagLib::PropertyMap& map) {
  const TagLib::MP4::ItemMap& items = tag.itemMap();
  for (const TagLib::String& name : map.unsupportedData()) {
    if (!name.startsWith(kFreeFormPrefix)) continue;
    const auto item = items.find(name);
    if (item == items.end() || name.size() == sizeof kFreeFormPrefix - 1) continue;
    map.insert(name.substr(sizeof kFreeFormPrefix - 1), item->second.toStringList());
  }
}

// Takes the upper-case keys TagLib 1 refused as free-form items, and drops
// the free-form items map no longer holds.
void PutFreeFormItems(TagLib::MP4::Tag& tag, const TagLib::PropertyMap& map,
                      TagLib::PropertyMap& refused) {
  TagLib::StringList gone;
  const TagLib::PropertyMap held = tag.properties();
  for (const TagLib::String& name : held.unsupportedData()) {
    if (!name.startsWith(kFreeFormPrefix)) continue;
    const TagLib::String key = name.substr(sizeof kFreeFormPrefix - 1).upper();
    const auto kept = map.find(key);
    if (kept == map.end() || kept->second.isEmpty()) gone.append(name);
  }
  for (const TagLib::String& name : gone) tag.removeItem(name);
  TagLib::StringList taken;
  for (const auto& [key, values] : refused) {
    const wchar_t first = key.isEmpty() ? L'\0' : key[0];
    if (first < L'A' || first > L'Z' || values.isEmpty()) continue;
    tag.setItem(TagLib::String(kFreeFormPrefix) + key, TagLib::MP4::Item(values));
    taken.append(key);
  }
  for (const TagLib::String& key : taken) refused.erase(key);
}
#endif

TagLib::PropertyMap ReadProperties(const TagLib::FileRef& ref) {
  if (ref.tag() == nullptr) return TagLib::PropertyMap();
#if ORVELL_TAGLIB_MAJOR >= 2
  return ref.properties();
#else
  // A WAV file's map comes from its first tag holding anything, as on the
  // 2.x line, its RIFF INFO tag's with every key that line reads.
  if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(ref.file())) {
    if (!wav->ID3v2Tag()->isEmpty()) return wav->ID3v2Tag()->properties();
    return InfoProperties(*wav->InfoTag());
  }
  TagLib::PropertyMap map = ref.file()->properties();
  if (const TagLib::MP4::Tag* tag = Mp4TagOf(ref)) AddFreeFormItems(*tag, map);
  return map;
#endif
}

bool HoldsTagLibSeparator(const TagLib::String& text) {
  const wchar_t* chars = text.toCWString();
#if ORVELL_TAGLIB_MAJOR >= 2
  return std::wcsstr(chars, L", ") != nullptr;
#else
  return std::wcschr(chars, L' ') != nullptr;  // ", " included
#endif
}

bool ShowsFirstValueOnly(const TagLib::FileRef& ref) {
#if ORVELL_TAGLIB_MAJOR >= 2
  (void)ref;
  return false;
#else
  // TagLib 1's WMA tag gives the first value of its attributes.
  return dynamic_cast<const TagLib::ASF::File*>(ref.file()) != nullptr;
#endif
}

bool JoinedByTagLib(const TagLib::String& text, const TagLib::StringList& values) {
  if (values.size() < 2) return false;
  if (text == values.front()) return true;  // the first value alone
#if ORVELL_TAGLIB_MAJOR >= 2
  // Joins by " / " need no change; the test is for the MP4 join.
  return text == values.toString(", ");
#else
  return text == values.toString(" ") || text == values.toString(", ");
#endif
}

TagLib::PropertyMap WriteProperties(TagLib::FileRef& ref, const TagLib::PropertyMap& map) {
  if (ref.tag() == nullptr) return TagLib::PropertyMap();
#if ORVELL_TAGLIB_MAJOR >= 2
  return ref.setProperties(map);
#else
  TagLib::PropertyMap refused = ref.file()->setProperties(map);
  if (TagLib::MP4::Tag* tag = Mp4TagOf(ref)) PutFreeFormItems(*tag, map, refused);
  // Its RIFF INFO tag then holds the seven keys alone; it takes the others
  // as on the 2.x line.
  if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(ref.file())) {
    SetInfoProperties(*wav->InfoTag(), map);
  }
  return refused;
#endif
}

}  // namespace orvell
