#include "formats/tag_form.h"

#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/tpropertymap.h>

#include "seam/taglib_seam.h"

namespace orvell::formats {

namespace {

// An ID3v1 tag read back from the bytes another renders.
class RenderedId3v1 final : public TagLib::ID3v1::Tag {
 public:
  explicit RenderedId3v1(const TagLib::ID3v1::Tag& tag) { parse(tag.render()); }
};

// The properties tag will read as once saved.
TagLib::PropertyMap AsSaved(const FileTag& tag) {
  if (tag.kind == TagKind::Id3v1) {
    if (const auto* id3v1 = dynamic_cast<const TagLib::ID3v1::Tag*>(tag.tag)) {
      return TagProperties(RenderedId3v1(*id3v1));
    }
  }
  return TagProperties(*tag.tag);
}

}  // namespace

bool HeldTagsShowAll(const FileTags& tags) {
  std::vector<TagLib::PropertyMap> saved(tags.size());
  bool holds_any = false;
  for (size_t i = 0; i < tags.size(); ++i) {
    if (!tags[i].in_file) continue;
    holds_any = true;
    saved[i] = AsSaved(tags[i]);
  }
  if (!holds_any) return false;
  for (size_t i = 0; i < tags.size(); ++i) {
    for (const auto& [key, values] : TagProperties(*tags[i].tag)) {
      if (values.isEmpty()) continue;
      // A tag the file holds must keep its own values; the values of one
      // it does not hold must read from the first that holds the key.
      const TagLib::PropertyMap* shown = nullptr;
      if (tags[i].in_file) {
        shown = &saved[i];
      } else {
        for (size_t j = 0; j < tags.size() && shown == nullptr; ++j) {
          const auto found = saved[j].find(key);
          if (tags[j].in_file && found != saved[j].end() && !found->second.isEmpty()) {
            shown = &saved[j];
          }
        }
      }
      if (shown == nullptr) return false;
      const auto found = shown->find(key);
      if (found == shown->end() || found->second != values) return false;
    }
  }
  return true;
}

TagLib::ID3v2::Version Id3v2VersionOf(const TagLib::ID3v2::Tag& tag, bool in_file) {
  return in_file && tag.header()->majorVersion() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
}

}  // namespace orvell::formats
