#include "tag/number_pair.h"

#include <algorithm>

namespace orvell {
namespace {

// The parser reads bytes or TagLib's wide characters alike: only ASCII
// white space, signs, digits and "/" matter, and any other character (in
// UTF-8, every byte of a non-ASCII one) ends a part the same way.
template <typename Char>
bool IsSpace(Char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

template <typename Char>
bool IsDigit(Char c) {
  return c >= '0' && c <= '9';
}

// One part, converted like strtol in base 10 but bounded to 32 bits. The
// part needs no NUL: it is read only up to end. Returns false when no digit
// follows the white space and sign, or when the value is out of range.
template <typename Char>
bool ConvertPart(const Char* p, const Char* end, int32_t& out) {
  while (p != end && IsSpace(*p)) ++p;
  bool negative = false;
  if (p != end && (*p == '+' || *p == '-')) {
    negative = (*p == '-');
    ++p;
  }
  if (p == end || !IsDigit(*p)) return false;
  // The magnitude may reach 2147483648 for a negative value.
  const int64_t limit = negative ? 2147483648LL : 2147483647LL;
  int64_t magnitude = 0;
  for (; p != end && IsDigit(*p); ++p) {
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > limit) return false;
  }
  out = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

template <typename Char>
void ParsePair(const Char* begin, const Char* end, int32_t& first, int32_t& second) {
  first = 0;
  second = 0;
  if (begin == end) return;
  const Char* slash = std::find(begin, end, Char('/'));
  // Any failed part clears both numbers, also a first already converted.
  int32_t left = 0;
  int32_t right = 0;
  if (slash == end) {
    if (!ConvertPart(begin, end, left)) return;
  } else {
    if (slash != begin && !ConvertPart(begin, slash, left)) return;
    if (slash + 1 != end && !ConvertPart(slash + 1, end, right)) return;
  }
  first = left;
  second = right;
}

}  // namespace

void ParseNumberPair(const char* bytes, size_t length, int32_t& first, int32_t& second) {
  ParsePair(bytes, bytes + length, first, second);
}

void ParseNumberPair(const TagLib::String& text, int32_t& first, int32_t& second) {
  // Straight from the wide characters: a conversion to UTF-8 would cost
  // more than the parse.
  const wchar_t* begin = text.toCWString();
  ParsePair(begin, begin + text.size(), first, second);
}

std::string FormatDecimal(int32_t value) {
  // The magnitude is taken as unsigned so that -2147483648 does not overflow.
  uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value)
                                 : static_cast<uint32_t>(value);
  char digits[11];
  char* p = digits + sizeof digits;
  do {
    *--p = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) *--p = '-';
  return std::string(p, static_cast<size_t>(digits + sizeof digits - p));
}

TagLib::String FormatNumberPair(int32_t first, int32_t second) {
  if (second <= 0) {
    if (first <= 0) return TagLib::String();
    return TagLib::String(FormatDecimal(first), TagLib::String::UTF8);
  }
  const std::string text =
      FormatDecimal(first > 0 ? first : 0) + "/" + FormatDecimal(second);
  return TagLib::String(text, TagLib::String::UTF8);
}

}  // namespace orvell
