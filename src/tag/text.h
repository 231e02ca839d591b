// Caller text into TagLib: UTF-8, repaired where it is ill-formed.
#ifndef ORVELL_TAG_TEXT_H
#define ORVELL_TAG_TEXT_H

#include <cstddef>
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

}  // namespace orvell

#endif
