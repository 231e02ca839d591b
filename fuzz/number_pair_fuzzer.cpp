// The number-pair codec on any bytes. Checked:
//   - ParseNumberPair, on the raw bytes and on a TagLib string made from
//     them, agrees with a reference built on strtol (base 10, errno, the
//     32-bit bounds tested by hand) and the rules for "/", and never
//     lets anything escape;
//   - for the two numbers the first 8 input bytes spell, FormatDecimal is
//     std::to_string, FormatNumberPair follows its three-row table, and for
//     non-negative numbers parse(format(a, b)) gives (a, b) back.
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <taglib/tstring.h>

#include "tag/number_pair.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "number pair property failed: %s [%s]\n", what, detail.c_str());
  std::abort();
}

// One part by the C library: strtol stops at the first byte that is not a
// digit, an embedded NUL included, which is what the codec's rule says.
bool ReferencePart(const std::string& part, int32_t& out) {
  const char* start = part.c_str();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(start, &end, 10);
  if (end == start) return false;  // no digit after the white space and sign
  if (errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return false;
  out = static_cast<int32_t>(value);
  return true;
}

void ReferencePair(const std::string& text, int32_t& first, int32_t& second) {
  first = 0;
  second = 0;
  if (text.empty()) return;
  int32_t left = 0;
  int32_t right = 0;
  const size_t slash = text.find('/');
  if (slash == std::string::npos) {
    if (!ReferencePart(text, left)) return;
  } else {
    const std::string before = text.substr(0, slash);
    const std::string after = text.substr(slash + 1);
    if (!before.empty() && !ReferencePart(before, left)) return;
    if (!after.empty() && !ReferencePart(after, right)) return;
  }
  first = left;
  second = right;
}

std::string Show(int32_t a, int32_t b) { return std::to_string(a) + ", " + std::to_string(b); }

void CheckFormatting(int32_t a, int32_t b) {
  if (orvell::FormatDecimal(a) != std::to_string(a)) Fail("FormatDecimal", std::to_string(a));
  const std::string text = orvell::FormatNumberPair(a, b).to8Bit(true);
  std::string expected;
  if (a > 0 && b <= 0) {
    expected = std::to_string(a);
  } else if (b > 0) {
    expected = std::to_string(a > 0 ? a : 0) + "/" + std::to_string(b);
  }
  if (text != expected) Fail("FormatNumberPair", Show(a, b) + " gave " + text);
  int32_t first = -1;
  int32_t second = -1;
  orvell::ParseNumberPair(orvell::FormatNumberPair(a, b), first, second);
  const int32_t want_first = a > 0 ? a : 0;
  const int32_t want_second = b > 0 ? b : 0;
  if (first != want_first || second != want_second) {
    Fail("parse(format(a, b))", Show(a, b) + " came back as " + Show(first, second));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  int32_t first = 7;
  int32_t second = 7;
  int32_t want_first = 0;
  int32_t want_second = 0;
  try {
    orvell::ParseNumberPair(bytes.data(), bytes.size(), first, second);
  } catch (...) {
    Fail("ParseNumberPair threw", bytes);
  }
  ReferencePair(bytes, want_first, want_second);
  if (first != want_first || second != want_second) {
    Fail("raw parse differs from strtol", Show(first, second) + " vs " + Show(want_first, want_second));
  }

  // Through TagLib's string, as the exports read property values.
  const TagLib::String text(bytes, TagLib::String::UTF8);
  try {
    orvell::ParseNumberPair(text, first, second);
  } catch (...) {
    Fail("ParseNumberPair threw on a TagLib string", bytes);
  }
  ReferencePair(text.to8Bit(true), want_first, want_second);
  if (first != want_first || second != want_second) Fail("string parse differs from strtol", bytes);

  if (size >= 8) {
    int32_t a = 0;
    int32_t b = 0;
    std::memcpy(&a, data, 4);
    std::memcpy(&b, data + 4, 4);
    CheckFormatting(a, b);
    CheckFormatting(a & INT32_MAX, b & INT32_MAX);  // both non-negative
  }
  return 0;
}
