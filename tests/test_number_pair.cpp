// The number-pair codec: "3/12" <-> (3, 12), and decimal rendering. One
// wrong branch here silently corrupts every track and disc number, so every
// documented case is a table row.
#include <cstdint>
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "tag/number_pair.h"

namespace {

using orvell::FormatDecimal;
using orvell::FormatNumberPair;
using orvell::ParseNumberPair;

struct ParseCase {
  const char* text;
  int32_t first;
  int32_t second;
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ParseTable : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTable, YieldsThePair) {
  const ParseCase& c = GetParam();
  // Both outputs are written on every path: their incoming values must
  // never show through.
  int32_t first = 77;
  int32_t second = -77;
  ParseNumberPair(TagLib::String(c.text, TagLib::String::UTF8), first, second);
  EXPECT_EQ(first, c.first);
  EXPECT_EQ(second, c.second);
}

INSTANTIATE_TEST_SUITE_P(
    Documented, ParseTable,
    ::testing::Values(ParseCase{"3/12", 3, 12}, ParseCase{"3", 3, 0}, ParseCase{"/12", 0, 12},
                      ParseCase{"3/", 3, 0}, ParseCase{"/", 0, 0}, ParseCase{"", 0, 0},
                      ParseCase{"3 / 12", 3, 12}, ParseCase{"/ 12", 0, 12},
                      ParseCase{" 7/x", 0, 0}, ParseCase{" /5", 0, 0}, ParseCase{"3//5", 0, 0},
                      ParseCase{"1/2/3", 1, 2}, ParseCase{"12abc", 12, 0},
                      ParseCase{"7/12abc", 7, 12}, ParseCase{"abc", 0, 0},
                      ParseCase{"99999999999", 0, 0}, ParseCase{"2147483647/2147483648", 0, 0},
                      ParseCase{"-2147483648", INT32_MIN, 0}, ParseCase{"-2/5", -2, 5},
                      ParseCase{"+4/+9", 4, 9}, ParseCase{"0x1F", 0, 0},
                      ParseCase{"04/010", 4, 10}));

INSTANTIATE_TEST_SUITE_P(
    Edges, ParseTable,
    ::testing::Values(
        // Only white space, or only a sign, holds no digit.
        ParseCase{"   ", 0, 0}, ParseCase{"+", 0, 0}, ParseCase{"-", 0, 0},
        ParseCase{"-/5", 0, 0}, ParseCase{"3/+", 0, 0},
        // A sign must touch the digits.
        ParseCase{"- 5", 0, 0}, ParseCase{"+-5", 0, 0},
        // Every white-space byte strtol skips, and nothing else.
        ParseCase{" \t\n\v\f\r5/\t9", 5, 9}, ParseCase{"\xC2\xA0" "5", 0, 0},
        // A failed right part clears a first already converted.
        ParseCase{"3/x", 0, 0}, ParseCase{"2147483647/-2147483649", 0, 0},
        // The 32-bit bounds, whatever the width of long.
        ParseCase{"2147483647", INT32_MAX, 0}, ParseCase{"2147483648", 0, 0},
        ParseCase{"-2147483649", 0, 0}, ParseCase{"4294967296", 0, 0},
        ParseCase{"4294967299/1", 0, 0}, ParseCase{"-2147483648/2147483647", INT32_MIN, INT32_MAX},
        // Leading zeros are digits, however many there are.
        ParseCase{"000000000000000000042/0000000000000000000012", 42, 12},
        ParseCase{"-0/+0", 0, 0},
        // Full-width digits are not digits.
        ParseCase{"\xEF\xBC\x93", 0, 0}, ParseCase{"1/\xEF\xBC\x92", 0, 0},
        ParseCase{"5\xEF\xBC\x93/7", 5, 7}));

TEST(ParseNumberPair, ReadsExactlyTheGivenBytes) {
  // A part ends at a NUL like strtol, but the search for "/" runs over
  // every byte; nothing past the given length is read.
  const struct {
    const char* bytes;
    size_t length;
    int32_t first;
    int32_t second;
  } cases[] = {
      {"12\0/7", 5, 12, 7},
      {"3/\0" "7", 4, 0, 0},  // a right part starting with NUL has no digit
      {"34/56", 4, 34, 5},
      {"9", 0, 0, 0},
  };
  for (const auto& c : cases) {
    int32_t first = 1;
    int32_t second = 1;
    ParseNumberPair(c.bytes, c.length, first, second);
    EXPECT_EQ(first, c.first) << c.bytes;
    EXPECT_EQ(second, c.second) << c.bytes;
  }
}

struct FormatCase {
  int32_t first;
  int32_t second;
  const char* text;
};

void PrintTo(const FormatCase& c, std::ostream* os) { *os << c.first << ", " << c.second; }

class FormatTable : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatTable, WritesTheText) {
  const FormatCase& c = GetParam();
  const TagLib::String text = FormatNumberPair(c.first, c.second);
  EXPECT_EQ(text.to8Bit(true), c.text);
  EXPECT_EQ(text.isEmpty(), c.text[0] == '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Documented, FormatTable,
    ::testing::Values(FormatCase{3, 0, "3"}, FormatCase{5, -3, "5"}, FormatCase{0, 0, ""},
                      FormatCase{-1, -1, ""}, FormatCase{3, 12, "3/12"},
                      FormatCase{0, 12, "0/12"}, FormatCase{-4, 12, "0/12"},
                      FormatCase{0, 1, "0/1"},
                      FormatCase{INT32_MAX, INT32_MAX, "2147483647/2147483647"}));

INSTANTIATE_TEST_SUITE_P(
    Edges, FormatTable,
    ::testing::Values(FormatCase{0, -1, ""}, FormatCase{-1, 0, ""},
                      FormatCase{INT32_MIN, INT32_MIN, ""}, FormatCase{INT32_MIN, 5, "0/5"},
                      FormatCase{1, INT32_MIN, "1"}, FormatCase{INT32_MAX, 0, "2147483647"},
                      FormatCase{10, 100, "10/100"}, FormatCase{1, 1, "1/1"}));

TEST(FormatNumberPair, ParsesBackToThePairForEveryNonNegativePair) {
  const int32_t values[] = {0, 1, 9, 10, 12, 99, 100, 65535, 65536, 999999999, INT32_MAX};
  for (int32_t first : values) {
    for (int32_t second : values) {
      int32_t parsed_first = -1;
      int32_t parsed_second = -1;
      ParseNumberPair(FormatNumberPair(first, second), parsed_first, parsed_second);
      EXPECT_EQ(parsed_first, first) << first << "/" << second;
      EXPECT_EQ(parsed_second, second) << first << "/" << second;
    }
  }
}

TEST(FormatNumberPair, ANegativeNumberComesBackAsZero) {
  int32_t first = -1;
  int32_t second = -1;
  ParseNumberPair(FormatNumberPair(-4, 12), first, second);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(second, 12);
  ParseNumberPair(FormatNumberPair(7, -2), first, second);
  EXPECT_EQ(first, 7);
  EXPECT_EQ(second, 0);
}

TEST(FormatDecimal, RendersTheBoundsAndPowersOfTen) {
  EXPECT_EQ(FormatDecimal(0), "0");
  EXPECT_EQ(FormatDecimal(1), "1");
  EXPECT_EQ(FormatDecimal(-1), "-1");
  EXPECT_EQ(FormatDecimal(9), "9");
  EXPECT_EQ(FormatDecimal(10), "10");
  EXPECT_EQ(FormatDecimal(-10), "-10");
  EXPECT_EQ(FormatDecimal(1000000000), "1000000000");
  EXPECT_EQ(FormatDecimal(-1000000000), "-1000000000");
  EXPECT_EQ(FormatDecimal(INT32_MAX), "2147483647");
  EXPECT_EQ(FormatDecimal(-INT32_MAX), "-2147483647");
  EXPECT_EQ(FormatDecimal(INT32_MIN), "-2147483648");
}

TEST(FormatDecimal, AgreesWithTheStandardLibraryAcrossTheWholeRange) {
  // A stride through all 2^32 values (65537 is coprime with it, so the
  // points spread over every digit count and both signs), plus the values
  // next to each end.
  int64_t checked = 0;
  for (int64_t v = INT32_MIN; v <= INT32_MAX; v += 65537) {
    ASSERT_EQ(FormatDecimal(static_cast<int32_t>(v)), std::to_string(v));
    ++checked;
  }
  for (int64_t v : {int64_t{INT32_MIN} + 1, int64_t{INT32_MAX} - 1, int64_t{-999999999},
                    int64_t{999999999}, int64_t{-100}, int64_t{100}}) {
    EXPECT_EQ(FormatDecimal(static_cast<int32_t>(v)), std::to_string(v));
  }
  EXPECT_GT(checked, 65000);
}

TEST(FormatDecimal, ParsesBackThroughThePairCodec) {
  for (int32_t v : {INT32_MIN, -2147483647, -65536, -1, 0, 1, 65536, INT32_MAX}) {
    int32_t first = 0;
    int32_t second = 0;
    const std::string text = FormatDecimal(v);
    ParseNumberPair(text.data(), text.size(), first, second);
    EXPECT_EQ(first, v);
    EXPECT_EQ(second, 0);
  }
}

}  // namespace
