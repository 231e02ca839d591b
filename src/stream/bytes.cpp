#include "stream/bytes.h"

#include <cstring>

namespace orvell::stream {

uint64_t BigEndian(const char* bytes, size_t size) {
  uint64_t value = 0;
  for (size_t i = 0; i < size; ++i) value = value << 8 | static_cast<unsigned char>(bytes[i]);
  return value;
}

uint32_t LittleEndian32(const char* b) {
  const auto* u = reinterpret_cast<const unsigned char*>(b);
  return uint32_t(u[0]) | uint32_t(u[1]) << 8 | uint32_t(u[2]) << 16 | uint32_t(u[3]) << 24;
}

uint64_t LittleEndian64(const char* b) {
  return uint64_t(LittleEndian32(b)) | uint64_t(LittleEndian32(b + 4)) << 32;
}

bool HasAt(ByteSource& content, int64_t offset, const char* magic) {
  const size_t size = std::strlen(magic);
  char bytes[8];
  return size <= sizeof bytes && content.ReadAt(offset, size, bytes) == size &&
         std::memcmp(bytes, magic, size) == 0;
}

bool IsOneOf4(const char* name, std::initializer_list<const char*> names) {
  for (const char* candidate : names) {
    if (std::memcmp(name, candidate, 4) == 0) return true;
  }
  return false;
}

std::string ExtensionOf(std::string_view path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return "";
  std::string extension(path.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return extension;
}

}  // namespace orvell::stream
