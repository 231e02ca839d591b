#include "tags.h"

#include <sys/stat.h>

#include <algorithm>
#include <limits>

#include "orvell.h"
#include "orvell_block.h"

namespace orvell_tool {
namespace {

constexpr size_t kFirstBuffer = size_t{1} << 20;
constexpr size_t kLargestBuffer = std::numeric_limits<int32_t>::max();
// Room for the property map of nearly every file, and the picture list of
// any: a picture costs some 30 bytes of it, whatever its size.
constexpr int32_t kFirstPropertyBuffer = 64 << 10;
constexpr int32_t kFirstPictureBuffer = 4 << 10;
// A block that outgrew the room its size query asked for was changed in
// between by a save; asked this many times, the file is reported.
constexpr int kSizedAttempts = 3;
constexpr int32_t kTooSmall = -5;

// Whether the block walks to its end, entry by entry.
template <typename Entry, typename Take>
bool Walks(std::string_view block, Take take) {
  OV_BlockReader reader;
  OV_BlockStart(&reader, block.data(), static_cast<int32_t>(block.size()));
  Entry entry;
  int taken;
  while ((taken = take(&reader, &entry)) == 1) {
  }
  return taken == 0;
}

}  // namespace

PropertyValues CopyProperties(std::string_view block) {
  PropertyValues properties;
  OV_BlockReader reader;
  OV_BlockStart(&reader, block.data(), static_cast<int32_t>(block.size()));
  OV_Property property;
  while (OV_BlockProperty(&reader, &property) == 1) {
    std::vector<std::string>& values =
        properties[std::string(property.key.data, static_cast<size_t>(property.key.size))];
    OV_Field value;
    while (OV_BlockField(&property.values, &value) == 1) {
      values.emplace_back(value.data, static_cast<size_t>(value.size));
    }
  }
  return properties;
}

bool IsPropertyKey(const std::string& key) {
  if (key.empty() || key.size() > 255) return false;
  for (char c : key) {
    if (c < 0x20 || c > 0x7e || c == '=') return false;
  }
  return true;
}

void TagReader::Buffer::Reset(int32_t new_size) {
  bytes.reset(new char[static_cast<size_t>(new_size)]);
  size = new_size;
}

bool TagReader::Grow(const std::string& path) {
  if (size_ >= kLargestBuffer) return false;
  // -5 does not say how large the block is. Its texts come from the file's
  // tags, and UTF-8 takes at most twice the bytes of a tag's text: room for
  // twice the file is nearly always enough for the second read.
  size_t wanted = size_ * 2;
  struct stat status;
  if (stat(path.c_str(), &status) == 0 && status.st_size > 0) {
    const size_t file = static_cast<size_t>(status.st_size);
    if (file < kLargestBuffer / 2) wanted = std::max(wanted, 2 * file + 4096);
  }
  size_ = std::min(wanted, kLargestBuffer);
  buffer_.reset(new char[size_]);
  return true;
}

bool TagReader::ReadSized(Export e, SizedRead call, const std::string& path, Buffer& buffer,
                          std::string_view& block) {
  for (int attempt = 1;; ++attempt) {
    tags_.code = call(path.c_str(), buffer.bytes.get(), buffer.size);
    if (tags_.code >= 0) {
      block = std::string_view(buffer.bytes.get(), static_cast<size_t>(tags_.code));
      return true;
    }
    if (tags_.code == kTooSmall && attempt < kSizedAttempts) {
      const int32_t needed = call(path.c_str(), nullptr, 0);
      if (needed >= 0) {
        if (needed > buffer.size) buffer.Reset(needed);
        continue;
      }
      tags_.code = needed;
    }
    tags_.error = DescribeFailure(e, tags_.code, path);
    return false;
  }
}

const FileTags& TagReader::Read(const std::string& path, bool known_regular) {
  tags_.code = 0;
  tags_.error.clear();
  tags_.everything = false;
  tags_.properties = tags_.pictures = std::string_view();
  if (!known_regular) tags_.error = RefuseBeforeOpening(path);
  if (!tags_.ok()) return tags_;
  if (!buffer_) {
    size_ = kFirstBuffer;
    buffer_.reset(new char[size_]);
  }

  for (;;) {
    tags_.code = OV_ReadTags(path.c_str(), buffer_.get(), static_cast<int32_t>(size_));
    if (tags_.code != -5 || !Grow(path)) break;
  }
  if (tags_.code < 0) {
    tags_.error = DescribeFailure(Export::kReadTags, tags_.code, path);
    return tags_;
  }
  if (!orvell_blocks::DecodeReadBlock(
          std::string_view(buffer_.get(), static_cast<size_t>(tags_.code)), tags_.fields)) {
    tags_.error = "liborvell returned a malformed read block";
    return tags_;
  }
  if (reach_ == Reach::kFields) return tags_;

  if (!properties_.bytes) properties_.Reset(kFirstPropertyBuffer);
  if (!pictures_.bytes) pictures_.Reset(kFirstPictureBuffer);
  if (!ReadSized(Export::kReadProperties, OV_ReadProperties, path, properties_, tags_.properties) ||
      !ReadSized(Export::kReadPictures, OV_ReadPictures, path, pictures_, tags_.pictures)) {
    return tags_;
  }
  if (!Walks<OV_Property>(tags_.properties, OV_BlockProperty) ||
      !Walks<OV_PictureInfo>(tags_.pictures, OV_BlockPicture)) {
    tags_.error = "liborvell returned a malformed property or picture block";
    return tags_;
  }
  tags_.everything = true;
  return tags_;
}

}  // namespace orvell_tool
