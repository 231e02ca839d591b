// The number-pair text codec: "3/12" <-> (3, 12), and decimal rendering.
// Pure functions with no state; they never fail outwardly.
#ifndef ORVELL_TAG_NUMBER_PAIR_H
#define ORVELL_TAG_NUMBER_PAIR_H

#include <cstddef>
#include <cstdint>
#include <string>

#include <taglib/tstring.h>

namespace orvell {

// Reads a pair text into first and second, both always written. The first
// "/" alone separates the parts; each non-empty part is converted by the
// base-10 rules of strtol (leading white space, one optional sign, the
// longest run of digits, anything after it ignored), bounded to the signed
// 32-bit range on every platform. A part with no digit or out of range
// turns the whole pair into (0, 0).
void ParseNumberPair(const TagLib::String& text, int32_t& first, int32_t& second);

// The same over raw bytes. Both overloads agree on any text and its UTF-8
// form.
void ParseNumberPair(const char* bytes, size_t length, int32_t& first, int32_t& second);

// The pair as stored text: "" when neither number is positive, "first"
// when only first is, otherwise "max(first, 0)/second".
TagLib::String FormatNumberPair(int32_t first, int32_t second);

// value in decimal: a minus sign when negative, no leading zeros.
std::string FormatDecimal(int32_t value);

}  // namespace orvell

#endif
