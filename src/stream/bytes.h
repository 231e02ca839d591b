// Small helpers over bytes: ranges, integers in either byte order, magic
// numbers, and the extension of a path.
#ifndef ORVELL_STREAM_BYTES_H
#define ORVELL_STREAM_BYTES_H

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "stream/byte_source.h"

namespace orvell::stream {

uint64_t BigEndian(const char* bytes, size_t size);
uint32_t LittleEndian32(const char* bytes);
uint64_t LittleEndian64(const char* bytes);

// Whether content holds magic (up to 8 bytes, a C string) at offset.
bool HasAt(ByteSource& content, int64_t offset, const char* magic);

// Whether the first four bytes at name are one of names.
bool IsOneOf4(const char* name, std::initializer_list<const char*> names);

// The lower-case extension of a path ("mp3"); empty when it has none.
std::string ExtensionOf(std::string_view path);

// A range of bytes of a content.
struct Span {
  int64_t offset = 0;
  int64_t length = 0;
  int64_t End() const { return offset + length; }
};

}  // namespace orvell::stream

#endif
