// Text handed from TagLib to a caller buffer.
#ifndef ORVELL_FRAME_TEXT_H
#define ORVELL_FRAME_TEXT_H

#include <cstdint>

#include <taglib/tstring.h>

namespace orvell {

// Copies text as UTF-8 into buffer (size bytes, NUL included), cutting it
// at size - 1 bytes, possibly inside a multi-byte character. Returns the
// bytes copied, or -2 for a NULL buffer or size <= 0, writing nothing.
int32_t CopyTextOut(const TagLib::String& text, char* buffer, int32_t size);

inline bool IsBadBuffer(const char* buffer, int32_t size) {
  return buffer == nullptr || size <= 0;
}

}  // namespace orvell

#endif
