// Reading all fields of one file with one OV_ReadTags call, into a buffer
// that is kept from file to file.
#ifndef ORVELL_TOOLS_ORVELL_TAGS_H
#define ORVELL_TOOLS_ORVELL_TAGS_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "block_codec.h"

namespace orvell_tool {

struct FileTags {
  std::string error;  // what went wrong; empty when the fields were read
  int32_t code = 0;   // the result of OV_ReadTags; 0 when it was not called
  // The 17 fields, pointing into the reader's buffer: valid until its next
  // Read.
  orvell_blocks::ReadFieldViews fields;
  bool ok() const { return error.empty(); }
};

// One per thread. Its buffer (1 MiB, allocated once and never cleared, so
// that only the pages a block fills are ever touched) holds nearly every
// block, so a file is opened and parsed once. A block that does not fit is
// read again into a buffer sized from the file, and that buffer is kept.
class TagReader {
 public:
  // Reads the 17 fields of path. Unless the caller already knows path to
  // be a regular file, anything else (a directory, a FIFO, a socket, a
  // device, a missing file) is refused, with its cause, before the
  // library is called.
  const FileTags& Read(const std::string& path, bool known_regular = false);

 private:
  bool Grow(const std::string& path);

  std::unique_ptr<char[]> buffer_;
  size_t size_ = 0;
  FileTags tags_;
};

}  // namespace orvell_tool

#endif
