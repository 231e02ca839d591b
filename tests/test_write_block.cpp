// The write block grammar: which blocks ParseWriteBlock accepts, which
// fault code each bad block gets, and the items a good block yields. Every
// block is parsed from the very end of an allocation of exactly its size,
// so a read past size shows up under AddressSanitizer.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "api/write_block.h"
#include "support/tail_buffer.h"

namespace {

using orvell::kClear;
using orvell::kKeep;
using orvell::kSet;
using orvell::ParseDecimalStrict;
using orvell::ParseWriteBlock;
using orvell::WriteItems;
using orvell_test::TailBuffer;

using Records = std::array<std::string, 13>;

// Title Café, artist kept, album artist cleared, album Blue, genre kept,
// comment set empty, composer and conductor kept, year 2024, track 3 of
// 12, disc cleared, disc total kept: 55 bytes before the NUL.
const Records kExample = {"6:1Café", "1:0", "1:2",    "5:1Blue", "1:0", "1:1", "1:0",
                          "1:0",     "5:12024", "2:13", "3:112", "1:2", "1:0"};

std::string Join(const Records& records) {
  std::string out;
  for (const std::string& record : records) out += record;
  return out;
}

// The example as a caller passes it: its bytes and the NUL that ends them.
std::string Example() { return Join(kExample) + '\0'; }

// The example with record i replaced (or removed, for an empty text).
std::string With(size_t i, const std::string& record) {
  Records records = kExample;
  records[i] = record;
  return Join(records) + '\0';
}

std::string AllKeep() {
  Records records;
  records.fill("1:0");
  return Join(records) + '\0';
}

// Parses the first size bytes of bytes from an allocation of exactly size.
int32_t ParseAtEnd(const std::string& bytes, size_t size, WriteItems& items) {
  const TailBuffer block(bytes, size);
  return ParseWriteBlock(block.data(), static_cast<int32_t>(size), items);
}

int32_t ParseAtEnd(const std::string& bytes, WriteItems& items) {
  return ParseAtEnd(bytes, bytes.size(), items);
}

constexpr size_t kWhole = static_cast<size_t>(-1);

struct Row {
  std::string name;
  std::string bytes;
  int32_t expected = 1;
  size_t size = kWhole;  // bytes passed as the block's size; kWhole: all
  // For accepted blocks: one item to check.
  int item = -1;
  int32_t action = kKeep;
  std::string value;
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

Row Fails(std::string name, std::string bytes, int32_t expected, size_t size = kWhole) {
  Row row;
  row.name = std::move(name);
  row.bytes = std::move(bytes);
  row.expected = expected;
  row.size = size;
  return row;
}

Row Accepts(std::string name, std::string bytes, int item, int32_t action, std::string value) {
  Row row = Fails(std::move(name), std::move(bytes), 1);
  row.item = item;
  row.action = action;
  row.value = std::move(value);
  return row;
}

std::vector<Row> GrammarRows() {
  std::vector<Row> rows = {
      Accepts("WorkedExample", Example(), 0, kSet, "Café"),
      Accepts("BytesAfterTheNulAreIgnored", Example() + "garbage:99x\xff" + '\0' + "1:3", 3,
              kSet, "Blue"),
      Accepts("AllKeep", AllKeep(), 12, kKeep, ""),
      Accepts("LeadingZerosInALength", With(0, "006:1Café"), 0, kSet, "Café"),
      Accepts("ZerosOnlyBeforeAOne", With(1, "0000000000000000000001:0"), 1, kKeep, ""),
      Accepts("ValueHoldingColonsAndDigits", With(0, "6:112:30"), 0, kSet, "12:30"),
      Accepts("ValueThatLooksLikeRecords", With(0, "7:11:01:0"), 0, kSet, "1:01:0"),
      Accepts("AnyByteButNulInAValue", With(4, "5:1\x01\xff\x7f:"), 4, kSet, "\x01\xff\x7f:"),
      Accepts("YearAtTheTopOfTheRange", With(8, "11:12147483647"), 8, kSet, "2147483647"),
      Accepts("YearWithLeadingZeros", With(8, "7:1002024"), 8, kSet, "002024"),
      Accepts("YearZero", With(8, "2:10"), 8, kSet, "0"),
      Accepts("DiscTotalAtTheTopOfTheRange", With(12, "11:12147483647"), 12, kSet, "2147483647"),
      Accepts("ClearOfANumberRecord", With(10, "1:2"), 10, kClear, ""),

      // No NUL within size.
      Fails("NulOutsideTheSize", Example(), -5, Example().size() - 1),
      Fails("NoNulAtAll", Join(kExample), -5),
      Fails("SizeEndsInsideTheBlock", Example(), -5, 20),
      // Too few records.
      Fails("OnlyANul", std::string(1, '\0'), -5),
      Fails("CutAfterRecord11", With(12, ""), -5),
      Fails("CutInsideRecord12", Join(kExample).substr(0, 54) + '\0', -5),
      // Framing of the length.
      Fails("LetterInTheLength", With(0, "a:0"), -5),
      Fails("SpaceBeforeTheLength", With(0, " 1:0"), -5),
      Fails("PlusSignInTheLength", With(3, "+1:0"), -5),
      Fails("HighByteInTheLength", With(0, "\xd9:0"), -5),
      Fails("NoColonBeforeTheEnd", With(12, "10"), -5),
      Fails("NoLengthDigits", With(0, ":1"), -5),
      Fails("LengthZero", With(0, "0:"), -5),
      Fails("LengthZeroWithLeadingZeros", With(7, "000:0"), -5),
      Fails("TwentyNines", With(0, "99999999999999999999:1Café"), -5),
      Fails("TwentyNinesInTheLastRecord", With(12, "99999999999999999999:0"), -5),
      Fails("LengthPastTheEndBeforeItsAction", With(0, "99:3"), -5),
      Fails("LengthPastTheEndOfTheLastRecord", With(12, "2:0"), -5),
      Fails("LengthPastTheEndWithABadAction", With(12, "5:9"), -5),
      Fails("LengthFarPastTheEndInALargeSize", With(12, "999:0") + std::string(2000, 'x'), -5),
      // A first digit above the size: the limit test wraps and passes, the
      // bytes-left test rejects the record.
      Fails("FirstDigitAboveTheSize", std::string("8:") + '\0', -5),
      Fails("LengthOneTooLongMisframesTheRest", With(0, "7:1Café"), -5),
      // Action codes.
      Fails("ActionThree", With(0, "1:3"), -6),
      Fails("ActionNine", With(5, "1:9"), -6),
      Fails("ActionLetter", With(6, "2:ax"), -6),
      Fails("ActionColon", With(12, "1::"), -6),
      // A value where none is allowed.
      Fails("KeepWithAValue", With(1, "2:0x"), -5),
      Fails("ClearWithAValue", With(2, "2:2x"), -5),
      Fails("KeepOfANumberWithDigits", With(9, "2:01"), -5),
      Fails("ClearOfANumberWithDigits", With(11, "2:20"), -5),
      // Numbers.
      Fails("YearAboveTheRange", With(8, "11:12147483648"), -7),
      Fails("TrackTwentyDigits", With(9, "21:199999999999999999999"), -7),
      Fails("YearWithALetter", With(8, "3:1x1"), -7),
      Fails("YearNegative", With(8, "3:1-1"), -7),
      Fails("YearWithAPlus", With(8, "3:1+1"), -7),
      Fails("YearWithASpace", With(8, "3:1 1"), -7),
      Fails("YearHex", With(8, "5:10x1F"), -7),
      Fails("TrackTotalFullWidthDigit", With(10, "4:1\xef\xbc\x91"), -7),
      Fails("DiscTotalTrailingLetter", With(12, "3:12a"), -7),
      // Extra bytes after record 13.
      Fails("OneMoreRecord", Join(kExample) + "1:0" + '\0', -5),
      Fails("OneStrayByte", Join(kExample) + "x" + '\0', -5),
  };
  // The empty set is a value for every text record and for none of the
  // number records.
  for (size_t i = 0; i < 8; ++i) {
    rows.push_back(Accepts("EmptySetOfRecord" + std::to_string(i), With(i, "1:1"),
                           static_cast<int>(i), kSet, ""));
  }
  for (size_t i = 8; i < 13; ++i) {
    rows.push_back(Fails("EmptySetOfRecord" + std::to_string(i), With(i, "1:1"), -7));
  }
  // The first faulty record decides, whatever follows it.
  Records records = kExample;
  records[8] = "2:1x";
  records[9] = "1:9";
  rows.push_back(Fails("BadNumberBeforeABadAction", Join(records) + '\0', -7));
  records = kExample;
  records[0] = "1:7";
  records[8] = "2:1x";
  rows.push_back(Fails("BadActionBeforeABadNumber", Join(records) + '\0', -6));
  records = kExample;
  records[2] = "2:2x";
  records[3] = "1:5";
  rows.push_back(Fails("ValueOnClearBeforeABadAction", Join(records) + '\0', -5));
  return rows;
}

class WriteBlockGrammar : public ::testing::TestWithParam<Row> {};

TEST_P(WriteBlockGrammar, GivesItsResult) {
  const Row& row = GetParam();
  const size_t size = row.size == kWhole ? row.bytes.size() : row.size;
  WriteItems items;
  ASSERT_EQ(ParseAtEnd(row.bytes, size, items), row.expected);
  if (row.item >= 0) {
    EXPECT_EQ(items[row.item].action, row.action);
    EXPECT_EQ(items[row.item].value, row.value);
  }
}

INSTANTIATE_TEST_SUITE_P(Blocks, WriteBlockGrammar, ::testing::ValuesIn(GrammarRows()),
                         [](const auto& p) { return p.param.name; });

TEST(WriteBlock, WorkedExampleYieldsItsThirteenItems) {
  const std::string block = Example();
  ASSERT_EQ(block.size(), 56u);
  WriteItems items;
  ASSERT_EQ(ParseAtEnd(block, items), 1);
  const std::array<int32_t, 13> actions = {kSet,  kKeep, kClear, kSet, kKeep, kSet, kKeep,
                                           kKeep, kSet,  kSet,   kSet, kClear, kKeep};
  const std::array<const char*, 13> values = {"Café", "", "", "Blue", "", "",  "",
                                              "",     "2024", "3", "12", "", ""};
  for (size_t i = 0; i < 13; ++i) {
    EXPECT_EQ(items[i].action, actions[i]) << "record " << i;
    EXPECT_EQ(items[i].value, values[i]) << "record " << i;
  }
}

TEST(WriteBlock, ParsesTheSameWhereverTheNulLiesWithinSize) {
  // A larger size only moves where the search for the NUL may go.
  const std::string block = Example() + std::string(100, '\x01');
  for (size_t size : {size_t{56}, size_t{57}, size_t{100}, block.size()}) {
    WriteItems items;
    EXPECT_EQ(ParseAtEnd(block, size, items), 1) << size;
    EXPECT_EQ(items[10].value, "12");
  }
}

TEST(WriteBlock, RefusesAMissingBlockOrASizeBelowOne) {
  const std::string block = Example();
  WriteItems items;
  EXPECT_EQ(ParseWriteBlock(nullptr, 56, items), -5);
  EXPECT_EQ(ParseWriteBlock(block.data(), 0, items), -5);
  EXPECT_EQ(ParseWriteBlock(block.data(), -1, items), -5);
  EXPECT_EQ(ParseWriteBlock(block.data(), INT32_MIN, items), -5);
}

struct DecimalRow {
  std::string text;
  bool ok;
  int32_t value;
};

TEST(ParseDecimalStrict, AcceptsOnlyPlainDigitsUpTo2147483647) {
  const DecimalRow rows[] = {
      {"0", true, 0},
      {"7", true, 7},
      {"2024", true, 2024},
      {"007", true, 7},
      {"00000000000000000000042", true, 42},
      {"2147483647", true, 2147483647},
      {"02147483647", true, 2147483647},
      {"", false, 0},
      {"-1", false, 0},
      {"-0", false, 0},
      {"+1", false, 0},
      {" 1", false, 0},
      {"1 ", false, 0},
      {"1/2", false, 0},
      {"12a", false, 0},
      {"0x1F", false, 0},
      {"2147483648", false, 0},
      {"4294967296", false, 0},
      {"99999999999999999999", false, 0},
      {"\xef\xbc\x91", false, 0},  // a full-width digit
      {std::string("1\0" "2", 3), false, 0},
  };
  for (const DecimalRow& row : rows) {
    int32_t out = -12345;
    EXPECT_EQ(ParseDecimalStrict(row.text, out), row.ok) << '"' << row.text << '"';
    EXPECT_EQ(out, row.ok ? row.value : -12345) << '"' << row.text << '"';
  }
}

TEST(ParseDecimalStrict, ReadsOnlyTheGivenLength) {
  const TailBuffer digits(std::string("12345"));
  int32_t out = 0;
  ASSERT_TRUE(ParseDecimalStrict(digits.data(), 3, out));
  EXPECT_EQ(out, 123);
  ASSERT_TRUE(ParseDecimalStrict(digits.data(), 5, out));
  EXPECT_EQ(out, 12345);
  EXPECT_FALSE(ParseDecimalStrict(digits.data(), 0, out));
  EXPECT_EQ(out, 12345);
}

}  // namespace
