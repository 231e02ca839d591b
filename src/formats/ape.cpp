#include "formats/ape.h"

#include <cstring>

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/wavpackfile.h>

#include "formats/containers.h"
#include "formats/id3.h"
#include "formats/tag_form.h"

namespace orvell::formats {

namespace {

// Whether an ID3v1 tag ends the first end bytes, by TagLib's test: "TAG"
// 128 bytes from the end, unless those bytes are the "TAG" of an APE
// tag's "APETAGEX".
bool EndsInId3v1(ByteSource& content, int64_t end) {
  if (end < 131) return end >= 128 && stream::HasAt(content, end - 128, "TAG");
  char bytes[8];
  return content.ReadAt(end - 131, 8, bytes) == 8 && std::memcmp(bytes + 3, "TAG", 3) == 0 &&
         std::memcmp(bytes, "APETAGEX", 8) != 0;
}

// The tags of a file whose main tag is an APE tag with an ID3v1 tag
// beside it (APE, WavPack). TagLib holds either in memory only where the
// file holds it, but for an APE tag where the file holds no ID3v1 tag, or
// where a write of the property map made one.
template <typename File>
FileTags ApeBesideId3v1(File& file) {
  FileTags tags;
  if (TagLib::Tag* ape = file.APETag(false)) tags.push_back({TagKind::Ape, ape, file.hasAPETag()});
  if (TagLib::Tag* id3v1 = file.ID3v1Tag(false)) {
    tags.push_back({TagKind::Id3v1, id3v1, file.hasID3v1Tag()});
  }
  return tags;
}

// TagLib saves every tag it holds. A file holding an ID3v1 tag alone keeps
// it alone where it shows everything; else an APE tag joins it, made from
// the fields it was given where no write made one.
template <typename File>
bool SaveApeBesideId3v1(File& file) {
  if (file.hasID3v1Tag() && !file.hasAPETag()) {
    if (HeldTagsShowAll(ApeBesideId3v1(file))) {
      if (file.APETag(false) != nullptr) file.strip(File::APE);
    } else if (file.APETag(false) == nullptr) {
      TagLib::Tag::duplicate(file.ID3v1Tag(false), file.APETag(true), true);
    }
  }
  return file.save();
}

}  // namespace

FileTags ApeFamilyTags(TagLib::File& file) {
  if (auto* ape = dynamic_cast<TagLib::APE::File*>(&file)) return ApeBesideId3v1(*ape);
  if (auto* wavpack = dynamic_cast<TagLib::WavPack::File*>(&file)) return ApeBesideId3v1(*wavpack);
  return FileTags();
}

bool SaveApeFamily(TagLib::File& file) {
  if (auto* ape = dynamic_cast<TagLib::APE::File*>(&file)) return SaveApeBesideId3v1(*ape);
  if (auto* wavpack = dynamic_cast<TagLib::WavPack::File*>(&file)) return SaveApeBesideId3v1(*wavpack);
  return file.save();
}

int64_t TrailingTagsStart(ByteSource& content, int64_t end) {
  if (EndsInId3v1(content, end)) end -= 128;
  char footer[32];
  if (end >= 32 && content.ReadAt(end - 32, 32, footer) == 32 &&
      std::memcmp(footer, "APETAGEX", 8) == 0) {
    const int64_t size = stream::LittleEndian32(footer + 12);  // items and footer
    const bool header = (stream::LittleEndian32(footer + 20) & 0x80000000u) != 0;
    const int64_t whole = size + (header ? 32 : 0);
    if (whole <= end) end -= whole;
  }
  return end;
}

bool Id3v2Fits(ByteSource& content, int64_t tag_offset) {
  int64_t declared = 0;
  const Span tag = Id3v2At(content, tag_offset, &declared);
  return declared <= tag.length;
}

Layout ReadBetweenTagsLayout(ByteSource& content) {
  Layout layout;
  const Span tag = Id3v2At(content, 0);
  if (!Id3v2Fits(content, 0)) layout.Refuse(kId3v2PastTheEnd);
  const int64_t end = TrailingTagsStart(content, content.Size());
  if (tag.End() > end) return layout;
  layout.audio_known = true;
  layout.AddRun(tag.End(), end - tag.End());
  return layout;
}

}  // namespace orvell::formats
