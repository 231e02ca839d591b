#include "seam/taglib_seam.h"

#include <cwchar>

#include <taglib/asffile.h>
#include <taglib/asftag.h>
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

TagLib::PropertyMap ReadProperties(const TagLib::FileRef& ref) {
  if (ref.tag() == nullptr) return TagLib::PropertyMap();
#if ORVELL_TAGLIB_MAJOR >= 2
  return ref.properties();
#else
  return ref.file()->properties();
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

void WriteProperties(TagLib::FileRef& ref, const TagLib::PropertyMap& map) {
  if (ref.tag() == nullptr) return;
#if ORVELL_TAGLIB_MAJOR >= 2
  ref.setProperties(map);
#else
  ref.file()->setProperties(map);
#endif
}

}  // namespace orvell
