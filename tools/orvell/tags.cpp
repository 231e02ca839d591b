#include "tags.h"

#include <filesystem>
#include <vector>

#include "messages.h"
#include "orvell.h"

namespace orvell_tool {
namespace {

// Why path must not be handed to TagLib; empty when it may be. A path that
// does not exist is left to the library, which reports it with its code.
std::string RefuseNonRegular(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (ec || !fs::exists(status) || fs::is_regular_file(status)) return "";
  if (fs::is_directory(status)) return "is a directory (orvell scan reads directories)";
  return "not a regular file (FIFO, socket or device): not opened";
}

}  // namespace

FileTags ReadFileTags(const std::string& path) {
  FileTags tags;
  tags.error = RefuseNonRegular(path);
  if (!tags.ok()) return tags;

  // Almost every block fits the first buffer; -5 means it did not, and the
  // only remedy is a larger one.
  std::vector<char> buffer(16 * 1024);
  for (;;) {
    tags.code = OV_ReadTags(path.c_str(), buffer.data(), static_cast<int32_t>(buffer.size()));
    if (tags.code != -5 || buffer.size() > (1u << 29)) break;
    buffer.resize(buffer.size() * 2);
  }
  if (tags.code < 0) {
    tags.error = DescribeResult(Export::kReadTags, tags.code);
    return tags;
  }
  auto fields =
      orvell_blocks::DecodeReadBlock(std::string_view(buffer.data(), static_cast<size_t>(tags.code)));
  if (!fields) {
    tags.error = "liborvell returned a malformed read block";
    return tags;
  }
  tags.fields = std::move(*fields);
  return tags;
}

}  // namespace orvell_tool
