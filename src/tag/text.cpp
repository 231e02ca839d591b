#include "tag/text.h"

#include <algorithm>
#include <cstring>

namespace orvell {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

// The length of the well-formed UTF-8 character at p (n bytes left, n > 0),
// or 0 when it is ill-formed; then *subpart is the length of its maximal
// ill-formed subpart: the lead byte and the continuation bytes that were
// still possible after it, at least 1. Follows Unicode's table of
// well-formed byte sequences, which is also what TagLib accepts: no
// overlong forms, no surrogates, nothing above U+10FFFF.
size_t CharacterLength(const unsigned char* p, size_t n, size_t* subpart) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return 1;
  size_t need = 0;
  unsigned char low = 0x80;  // the range of the second byte
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    need = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    need = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    need = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    *subpart = 1;
    return 0;
  }
  for (size_t i = 1; i < need; ++i) {
    const bool fits = i < n && p[i] >= low && p[i] <= high;
    if (!fits) {
      *subpart = i;
      return 0;
    }
    low = 0x80;
    high = 0xBF;
  }
  return need;
}

// The offset of the first ill-formed subpart, or length when there is none.
size_t FirstIllFormed(const unsigned char* p, size_t length) {
  size_t at = 0;
  size_t subpart = 0;
  while (at < length) {
    if (p[at] < 0x80) {
      ++at;
      continue;
    }
    const size_t n = CharacterLength(p + at, length - at, &subpart);
    if (n == 0) return at;
    at += n;
  }
  return length;
}

bool IsWellFormed(const char* bytes, size_t length) {
  return FirstIllFormed(reinterpret_cast<const unsigned char*>(bytes), length) == length;
}

}  // namespace

std::string RepairedUtf8(const char* bytes, size_t length) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes);
  size_t at = FirstIllFormed(p, length);
  std::string out(bytes, at);
  while (at < length) {
    size_t subpart = 0;
    const size_t n = CharacterLength(p + at, length - at, &subpart);
    if (n == 0) {
      out += kReplacement;
      at += subpart;
    } else {
      out.append(bytes + at, n);
      at += n;
    }
  }
  return out;
}

TagLib::String FromUtf8(const char* text) {
  const size_t length = std::strlen(text);
  if (IsWellFormed(text, length)) return TagLib::String(text, TagLib::String::UTF8);
  return TagLib::String(RepairedUtf8(text, length), TagLib::String::UTF8);
}

TagLib::String FromUtf8(const std::string& bytes) {
  if (IsWellFormed(bytes.data(), bytes.size())) return TagLib::String(bytes, TagLib::String::UTF8);
  return TagLib::String(RepairedUtf8(bytes.data(), bytes.size()), TagLib::String::UTF8);
}

}  // namespace orvell
