#include "frame/text.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace orvell {

int32_t CopyTextOut(const TagLib::String& text, char* buffer, int32_t size) {
  if (IsBadBuffer(buffer, size)) return -2;
  buffer[0] = '\0';
  const std::string bytes = text.to8Bit(true);
  if (bytes.empty()) return 0;
  const size_t n = std::min(static_cast<size_t>(size) - 1, bytes.size());
  std::memcpy(buffer, bytes.data(), n);
  buffer[n] = '\0';
  return static_cast<int32_t>(n);
}

}  // namespace orvell
