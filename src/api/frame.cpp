#include "api/frame.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "save/checked_save.h"
#include "seam/taglib_seam.h"

namespace orvell {

OpenFile::OpenFile(const char* path)
    : source_(path),
      stream_(source_),
      ref_(OpenTagLibFile(source_, stream_)),
      tag_(GenericTag(ref_, made_tag_)) {}

bool OpenFile::Save(size_t input_bytes, GenericFields written) {
  return save::SaveChecked(ref_, stream_, save::SaveRequest{input_bytes, written});
}

TagLib::PropertyMap OpenFile::Properties() const { return ReadProperties(ref_); }

bool OpenFile::ShowsFirstValueOnly() const { return orvell::ShowsFirstValueOnly(ref_); }

void OpenFile::SetProperties(const TagLib::PropertyMap& map, GenericFields written) {
  TagLib::Tag* tag = Tag();
  const GenericFields at_risk = AbsentFrom(map, kAllGenericFields & ~written);
  if (tag == nullptr || at_risk == kNoGenericField) return WriteProperties(ref_, map);
  const GenericSnapshot before(*tag, at_risk);
  WriteProperties(ref_, map);
  before.Restore(*tag);
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

int32_t RoundedSeconds(int32_t milliseconds) {
  return static_cast<int32_t>((static_cast<int64_t>(milliseconds) + 500) / 1000);
}

}  // namespace orvell
