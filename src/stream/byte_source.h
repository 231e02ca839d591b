// Bytes that can be read by position: the file on disk, or the content a
// save would give it.
#ifndef ORVELL_STREAM_BYTE_SOURCE_H
#define ORVELL_STREAM_BYTE_SOURCE_H

#include <cstddef>
#include <cstdint>

namespace orvell::stream {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual int64_t Size() const = 0;
  // Copies up to size bytes from position into out and returns how many
  // there were: fewer at the end of the content, or on a read error.
  virtual size_t ReadAt(int64_t position, size_t size, char* out) = 0;
};

}  // namespace orvell::stream

#endif
