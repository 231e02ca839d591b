#include "api/frame.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "formats/format.h"
#include "save/checked_save.h"
#include "save/journal.h"
#include "seam/taglib_seam.h"
#include "tag/every_tag.h"

namespace orvell {

OpenFile::OpenFile(const char* path, Access access)
    : source_(path, access),
      settled_(save::SettleInterruptedSave(source_)),
      stream_(source_),
      ref_(OpenTagLibFile(source_, stream_)),
      tag_(GenericTag(ref_, made_tag_)),
      before_(access == Access::Write ? save::TakeSnapshot(ref_) : save::Snapshot()) {}

bool OpenFile::Save(size_t input_bytes, GenericFields written) {
  save::Changes changes;
  changes.fields = written;
  return Save(input_bytes, changes);
}

bool OpenFile::Save(size_t input_bytes, const save::Changes& changes) {
  // Fields set back through the generic tag after a write of the map are
  // checked as written ones: they must read as they did, whatever keys of
  // the map now hold them.
  save::SaveRequest request{input_bytes, changes};
  request.changes.fields |= restored_;
  return save::SaveChecked(ref_, stream_, request, before_);
}

void AddPairKeys(save::Changes& changes, const PairKeys& keys) {
  changes.fields |= keys.number_field;
  changes.keys.emplace_back(keys.pair);
  for (const char* total : keys.totals) changes.keys.emplace_back(total);
}

std::unique_ptr<PictureStore> OpenFile::Pictures(bool create) const {
  return ref_.file() == nullptr ? nullptr : PicturesOf(*ref_.file(), create);
}

TagLib::PropertyMap OpenFile::Properties() const {
  if (before_.taken && !map_written_) return before_.properties;
  return ReadProperties(ref_);
}

bool OpenFile::ShowsFirstValueOnly() const { return orvell::ShowsFirstValueOnly(ref_); }

TagLib::PropertyMap OpenFile::SetProperties(const TagLib::PropertyMap& map, GenericFields written) {
  TagLib::Tag* tag = Tag();
  if (tag == nullptr) {
    map_written_ = true;
    return WriteProperties(ref_, map);
  }
  // Where the file keeps several tags, each that holds anything takes the
  // change alone (tag/every_tag.h), after TagLib's write of the map.
  const formats::Format& format = formats::FormatOf(*ref_.file());
  formats::FileTags tags =
      format.tags_of != nullptr ? format.tags_of(*ref_.file()) : formats::FileTags();
  std::vector<bool> holds(tags.size(), false);
  size_t holding = 0;
  for (size_t i = 0; i < tags.size(); ++i) {
    holds[i] = !tags[i].tag->isEmpty();
    holding += holds[i] ? 1 : 0;
  }
  // TagLib's write of the map reaches the first tag whole, and the map is
  // read from the first tag holding anything: where that is the first tag,
  // TagLib's write is already the change made in it, and the others alone
  // take it here.
  if (!tags.empty() && holds[0]) {
    holds[0] = false;
    --holding;
  }
  if (holding == 0) tags.clear();
  std::vector<TagLib::PropertyMap> held(tags.size());
  TagLib::PropertyMap changes;
  if (!tags.empty()) {
    changes = ChangesBetween(Properties(), map);
    // A field the call writes changes even where its key stays as it was:
    // a track number a reader saw in one tag alone, and the map lacked,
    // goes from every tag when the write leaves none.
    for (const char* key : PropertyKeysOf(written)) changes.replace(Key(key), Lookup(map, key));
    for (size_t i = 0; i < tags.size(); ++i) {
      if (holds[i]) held[i] = TagProperties(*tags[i].tag);
    }
  }
  const GenericFields at_risk = AbsentFrom(map, kAllGenericFields & ~written);
  const GenericSnapshot before(*tag, at_risk);
  map_written_ = true;
  TagLib::PropertyMap refused = WriteProperties(ref_, map);
  for (size_t i = 0; i < tags.size(); ++i) {
    if (holds[i]) WriteChanges(*tags[i].tag, held[i], changes);
  }
  before.Restore(*tag);
  restored_ |= at_risk;
  return refused;
}

int32_t CopyTextOut(const TagLib::String& text, char* buffer, int32_t size) {
  if (IsBadBuffer(buffer, size)) return kBadBuffer;
  buffer[0] = '\0';
  const std::string bytes = text.to8Bit(true);
  if (bytes.empty()) return 0;
  const size_t n = std::min(static_cast<size_t>(size) - 1, bytes.size());
  std::memcpy(buffer, bytes.data(), n);
  buffer[n] = '\0';
  return static_cast<int32_t>(n);
}

int32_t HandOutBlock(const std::string& block, char* buffer, int32_t size) {
  if (buffer == nullptr) return static_cast<int32_t>(block.size() + 1);
  if (block.size() >= static_cast<size_t>(size)) {
    reason::Say("the buffer is too small: " + std::to_string(block.size() + 1) + " bytes are needed");
    return kBlockTooSmall;
  }
  std::memcpy(buffer, block.data(), block.size());
  buffer[block.size()] = '\0';
  return static_cast<int32_t>(block.size());
}

int32_t HandOutBytes(const char* bytes, size_t length, char* buffer, int32_t size) {
  if (buffer == nullptr) return static_cast<int32_t>(length);
  if (length > static_cast<size_t>(size)) {
    reason::Say("the buffer is too small: " + std::to_string(length) + " bytes are needed");
    return kBlockTooSmall;
  }
  if (length > 0) std::memcpy(buffer, bytes, length);
  return static_cast<int32_t>(length);
}

int32_t RoundedSeconds(int32_t milliseconds) {
  return static_cast<int32_t>((static_cast<int64_t>(milliseconds) + 500) / 1000);
}

}  // namespace orvell
