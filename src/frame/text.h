// Text at the boundary: caller text into TagLib, and TagLib text out to a
// caller buffer.
#ifndef ORVELL_FRAME_TEXT_H
#define ORVELL_FRAME_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

#include <taglib/tstring.h>

namespace orvell {

// Caller text meant as UTF-8 (NUL-terminated, or the bytes of a string)
// as a TagLib string. TagLib turns text holding any ill-formed sequence
// into the empty string, on every line; here each maximal ill-formed
// subpart (a byte that cannot start a character, or a character cut short)
// becomes U+FFFD first and the rest is kept, so "ok\xC3\xA9\xFF" is
// "okéU+FFFD".
TagLib::String FromUtf8(const char* text);
TagLib::String FromUtf8(const std::string& bytes);

// The same repair on its own: bytes with every ill-formed subpart replaced
// by U+FFFD (EF BF BD). Well-formed text comes back unchanged.
std::string RepairedUtf8(const char* bytes, size_t length);

// Copies text as UTF-8 into buffer (size bytes, NUL included), cutting it
// at size - 1 bytes, possibly inside a multi-byte character. Returns the
// bytes copied, or -2 for a NULL buffer or size <= 0, writing nothing.
int32_t CopyTextOut(const TagLib::String& text, char* buffer, int32_t size);

inline bool IsBadBuffer(const char* buffer, int32_t size) {
  return buffer == nullptr || size <= 0;
}

}  // namespace orvell

#endif
