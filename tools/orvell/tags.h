// Reading all fields of one file with one OV_ReadTags call, and on request
// every property and the list of its pictures, into buffers that are kept
// from file to file.
#ifndef ORVELL_TOOLS_ORVELL_TAGS_H
#define ORVELL_TOOLS_ORVELL_TAGS_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "block_codec.h"
#include "messages.h"

namespace orvell_tool {

struct FileTags {
  std::string error;  // what went wrong; empty when the file was read
  int32_t code = 0;   // the result of the call that failed; 0 when none was made
  // The 17 fields, pointing into the reader's buffer: valid until its next
  // Read.
  orvell_blocks::ReadFieldViews fields;
  // Read by a reader of everything: the blocks of OV_ReadProperties and
  // OV_ReadPictures (sizes, never the pictures' bytes), checked to walk to
  // their ends with orvell_block.h, in the reader's buffers likewise.
  bool everything = false;
  std::string_view properties;
  std::string_view pictures;
  bool ok() const { return error.empty(); }
};

// Every key of a property block of OV_ReadProperties, with its values; a
// block that does not walk gives what came before the fault.
using PropertyValues = std::map<std::string, std::vector<std::string>>;
PropertyValues CopyProperties(std::string_view block);

// Whether key may name a property, as OV_WriteProperties takes keys: 1 to
// 255 bytes of printable ASCII, without "=".
bool IsPropertyKey(const std::string& key);

// One per thread. Its buffers are allocated once and never cleared, so
// that only the pages a block fills are ever touched. The fields' buffer
// (1 MiB) holds nearly every block, so a file is opened and parsed once
// for them; a block that does not fit is read again into a buffer sized
// from the file, and that buffer is kept. The property and picture blocks
// are read into buffers that grow, when one does not fit, to the size the
// library says it needs.
class TagReader {
 public:
  enum class Reach { kFields, kEverything };
  explicit TagReader(Reach reach = Reach::kFields) : reach_(reach) {}

  // Reads the 17 fields of path, and with Reach::kEverything its property
  // and picture blocks. Unless the caller already knows path to be a
  // regular file, anything else (a directory, a FIFO, a socket, a device,
  // a missing file) is refused, with its cause, before the library is
  // called.
  const FileTags& Read(const std::string& path, bool known_regular = false);

 private:
  struct Buffer {
    std::unique_ptr<char[]> bytes;
    int32_t size = 0;
    void Reset(int32_t new_size);
  };
  using SizedRead = int32_t (*)(const char* path, char* buffer, int32_t size);

  bool Grow(const std::string& path);
  // Reads a block of a call that tells the room it needs into buffer, as
  // block; false, with the failure in tags_, when the call fails.
  bool ReadSized(Export e, SizedRead call, const std::string& path, Buffer& buffer,
                 std::string_view& block);

  const Reach reach_;
  std::unique_ptr<char[]> buffer_;
  size_t size_ = 0;
  Buffer properties_;
  Buffer pictures_;
  FileTags tags_;
};

}  // namespace orvell_tool

#endif
