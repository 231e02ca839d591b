#include "seam/taglib_seam.h"

#include <cwchar>

#include <taglib/asffile.h>
#include <taglib/asftag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/taglib.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfile.h>
#if ORVELL_TAGLIB_MAJOR >= 2
#include <taglib/infotag.h>
#endif

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

}  // namespace

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
  return refused;
#endif
}

}  // namespace orvell
