// Reading all fields of one file with one OV_ReadTags call.
#ifndef ORVELL_TOOLS_ORVELL_TAGS_H
#define ORVELL_TOOLS_ORVELL_TAGS_H

#include <cstdint>
#include <string>

#include "block_codec.h"

namespace orvell_tool {

struct FileTags {
  std::string error;  // what went wrong; empty when the fields were read
  int32_t code = 0;   // the result of OV_ReadTags; 0 when it was not called
  orvell_blocks::ReadFields fields;
  bool ok() const { return error.empty(); }
};

// Reads the 17 fields of path. Anything but a regular file (a directory, a
// FIFO, a socket, a device) is refused without being opened: opening a FIFO
// would block until a writer appears.
FileTags ReadFileTags(const std::string& path);

}  // namespace orvell_tool

#endif
