#include "tags.h"

#include <sys/stat.h>

#include <algorithm>
#include <limits>

#include "messages.h"
#include "orvell.h"

namespace orvell_tool {
namespace {

constexpr size_t kFirstBuffer = size_t{1} << 20;
constexpr size_t kLargestBuffer = std::numeric_limits<int32_t>::max();

}  // namespace

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

const FileTags& TagReader::Read(const std::string& path, bool known_regular) {
  tags_.code = 0;
  tags_.error.clear();
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
  }
  return tags_;
}

}  // namespace orvell_tool
