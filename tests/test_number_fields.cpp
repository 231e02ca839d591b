// Track and disc pairs through the property map, on real files: what the
// setters store for each stored text, what the getters read back, and what
// another reader of the file sees afterwards.
//
// Formats differ in what TagLib lets them hold, and the tables say so:
// - Vorbis comments (FLAC, Ogg, Opus), APE (WavPack) and the ID3v2 tags of
//   WAV and AIFF keep any text, several values included.
// - MP3 keeps any text in TPOS (disc), but TagLib's MPEG save copies the
//   empty ID3v1 track over a TRCK whose number reads as 0, so "0/12" or
//   "/3" in TRCK is dropped, total included, by every save.
// - M4A keeps numbers, not text: one pair of 16-bit values per key. Text
//   becomes numbers when stored ("x/12" is kept as 0/12, "2/x" as 2), and
//   a second value is lost.
//
// A total may also stand under a key of its own beside a pair text without
// one (TRACKTOTAL or TOTALTRACKS, DISCTOTAL or TOTALDISCS, as many taggers
// write Vorbis comments). Every format but M4A keeps such keys; TagLib 1.x
// refuses them for M4A, so the rows that store one leave M4A out.
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>

#include "orvell.h"
#include "support/fake_file.h"
#include "support/tag_model.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"

namespace {

using orvell_test::PropertiesExcept;
using orvell_test::ReadBytes;
using orvell_test::SetValues;
using orvell_test::TempDir;
using Texts = std::vector<std::string>;
using Setter = int32_t (*)(const char*, int32_t);

enum class Kind { AnyText, Mp3, M4a };

struct Format {
  const char* fixture;
  Kind kind;
};

const Format kFormats[] = {
    {"silence.flac", Kind::AnyText}, {"silence.ogg", Kind::AnyText},
    {"silence.opus", Kind::AnyText}, {"silence.wv", Kind::AnyText},
    {"silence.wav", Kind::AnyText},  {"silence.aiff", Kind::AnyText},
    {"silence.mp3", Kind::Mp3},      {"silence.m4a", Kind::M4a},
};

std::string FormatName(const Format& f) {
  const std::string name = f.fixture;
  return name.substr(name.find('.') + 1);
}

void PrintTo(const Format& f, std::ostream* os) { *os << f.fixture; }

// A value per kind of format; most rows hold the same for all three.
template <typename T>
struct ByKind {
  T any_text;
  T mp3;
  T m4a;
  const T& operator()(Kind kind) const {
    return kind == Kind::Mp3 ? mp3 : kind == Kind::M4a ? m4a : any_text;
  }
};

template <typename T>
ByKind<T> Same(const T& value) {
  return {value, value, value};
}

// One table row on one format, each case on its own copy of the fixture.
template <typename Row>
class RowOnFormat : public ::testing::TestWithParam<std::tuple<Row, Format>> {
 protected:
  const Row& row() const { return std::get<0>(this->GetParam()); }
  Kind kind() const { return std::get<1>(this->GetParam()).kind; }
  std::string Copy() const { return dir_.Copy(std::get<1>(this->GetParam()).fixture); }
  TempDir dir_;
};

// Every row on every format, but rows that store a total key not on M4A
// (StoresTotalKey is defined beside each table).
template <typename Row, size_t N>
std::vector<std::tuple<Row, Format>> RowsOnFormats(const Row (&rows)[N]) {
  std::vector<std::tuple<Row, Format>> cases;
  for (const Row& row : rows) {
    for (const Format& format : kFormats) {
      if (format.kind != Kind::M4a || !StoresTotalKey(row)) cases.emplace_back(row, format);
    }
  }
  return cases;
}

template <typename Row>
std::string CaseName(const ::testing::TestParamInfo<std::tuple<Row, Format>>& p) {
  return std::string(std::get<0>(p.param).name) + "_" + FormatName(std::get<1>(p.param));
}

constexpr const char* kTrack = "TRACKNUMBER";
constexpr const char* kDisc = "DISCNUMBER";

// --- Setters -------------------------------------------------------------

struct SetterRow {
  const char* name;
  const char* key;
  Texts before;  // stored with TagLib first; empty: key absent
  Setter setter;
  int32_t value;
  ByKind<Texts> after;  // the key's values afterwards; empty: key absent
  // A total key beside the pair, its values before and after.
  const char* total_key = nullptr;
  Texts total_before = {};
  Texts total_after = {};
};

const SetterRow kSetterRows[] = {
    {"AbsentSetTrack5", kTrack, {}, OV_SetTrack, 5, Same<Texts>({"5"})},
    {"PairSetTrack5", kTrack, {"3/12"}, OV_SetTrack, 5, Same<Texts>({"5/12"})},
    {"PairSetTrack0", kTrack, {"3/12"}, OV_SetTrack, 0, Same<Texts>({"0/12"})},
    {"NumberSetTrack0", kTrack, {"3"}, OV_SetTrack, 0, Same<Texts>({})},
    {"PairSetTrackTotal0", kTrack, {"3/12"}, OV_SetTrackTotal, 0, Same<Texts>({"3"})},
    {"AbsentSetTrackTotal12", kTrack, {}, OV_SetTrackTotal, 12, Same<Texts>({"0/12"})},
    {"TotalOnlySetTrackTotal0", kTrack, {"0/12"}, OV_SetTrackTotal, 0, Same<Texts>({})},
    // M4A keeps only the first of the two values; the result is the same.
    {"TwoValuesSetDisc3", kDisc, {"1/2", "9/9"}, OV_SetDisc, 3, Same<Texts>({"3/2"})},
    // M4A stored "x/12" as the numbers 0/12, so its total survives.
    {"UnparsableSetDisc2", kDisc, {"x/12"}, OV_SetDisc, 2, {{"2"}, {"2"}, {"2/12"}}},
    {"NegativeNumberSetDiscTotal6", kDisc, {"-1/4"}, OV_SetDiscTotal, 6, Same<Texts>({"0/6"})},
    {"NegativeTotalSetDisc0", kDisc, {"3/-2"}, OV_SetDisc, 0, Same<Texts>({})},
    {"DiscNumberLeavesTrackAlone", kTrack, {"3/12"}, OV_SetDisc, 4, Same<Texts>({"3/12"})},
    // A total key present follows the total; the pair text keeps it too.
    {"TotalKeySetTrackTotal11", kTrack, {"5"}, OV_SetTrackTotal, 11, Same<Texts>({"5/11"}),
     "TOTALTRACKS", {"10"}, {"11"}},
    {"TotalKeyKeptBySetTrack", kTrack, {"5"}, OV_SetTrack, 6, Same<Texts>({"6/12"}),
     "TRACKTOTAL", {"12"}, {"12"}},
    {"PairTotalWinsOverTotalKey", kTrack, {"5/12"}, OV_SetTrack, 6, Same<Texts>({"6/12"}),
     "TOTALTRACKS", {"10"}, {"12"}},
    {"TotalKeyErasedWithTheTotal", kDisc, {"1"}, OV_SetDiscTotal, 0, Same<Texts>({"1"}),
     "DISCTOTAL", {"2"}, {}},
    {"TotalKeyErasedWithThePair", kDisc, {"1"}, OV_SetDisc, 0, Same<Texts>({}),
     "TOTALDISCS", {"0"}, {}},
    {"TotalKeyWithoutPairText", kDisc, {}, OV_SetDisc, 1, Same<Texts>({"1/2"}),
     "DISCTOTAL", {"2"}, {"2"}},
};

void PrintTo(const SetterRow& row, std::ostream* os) { *os << row.name; }

class NumberSetters : public RowOnFormat<SetterRow> {
 protected:
  std::string SetUpCopy() const {
    const std::string path = Copy();
    if (!row().before.empty()) SetValues(path, row().key, row().before);
    if (row().total_key != nullptr) SetValues(path, row().total_key, row().total_before);
    return path;
  }
};

TEST_P(NumberSetters, StoreTheDocumentedTextAsTheOnlyValue) {
  const std::string path = SetUpCopy();
  ASSERT_EQ(row().setter(path.c_str(), row().value), 1);
  const Texts stored = orvell_test::Values(path, row().key);
  EXPECT_LE(stored.size(), 1u);
  EXPECT_EQ(stored, row().after(kind()));
  if (row().total_key != nullptr) {
    EXPECT_EQ(orvell_test::Values(path, row().total_key), row().total_after);
  }
}

TEST_P(NumberSetters, RefuseANegativeNumberWithoutOpeningTheFile) {
  const std::string path = SetUpCopy();
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(row().setter(path.c_str(), -1), -2);
  EXPECT_EQ(ReadBytes(path), bytes);
}

bool StoresTotalKey(const SetterRow& row) { return row.total_key != nullptr; }

INSTANTIATE_TEST_SUITE_P(Table, NumberSetters, ::testing::ValuesIn(RowsOnFormats(kSetterRows)),
                         CaseName<SetterRow>);

// --- Getters -------------------------------------------------------------

struct Pair {
  int32_t first;
  int32_t second;
};

struct ReadRow {
  const char* name;
  Texts stored;  // empty: key absent
  ByKind<Pair> disc;           // OV_GetDisc, OV_GetDiscTotal
  ByKind<int32_t> track_total;  // OV_GetTrackTotal on the same text
  // Total keys for the track and the disc pair, and the text under both.
  const char* track_total_key = nullptr;
  const char* disc_total_key = nullptr;
  Texts total = {};
};

const ReadRow kReadRows[] = {
    {"Absent", {}, Same(Pair{0, 0}), Same(0)},
    {"EmptyText", {""}, Same(Pair{0, 0}), Same(0)},
    {"Pair", {"2/3"}, Same(Pair{2, 3}), Same(3)},
    {"NumberOnly", {"2"}, Same(Pair{2, 0}), Same(0)},
    // MP3 cannot keep "/3" in TRCK; M4A keeps it as 0/3.
    {"TotalOnly", {"/3"}, Same(Pair{0, 3}), {3, 0, 3}},
    // M4A kept "2/x" as the number 2.
    {"UnparsableTotal", {"2/x"}, {{0, 0}, {0, 0}, {2, 0}}, {0, 0, 0}},
    // A stored negative number is returned as it is, even though -2 is
    // also the code for a file that did not open.
    {"NegativeNumber", {"-2/5"}, Same(Pair{-2, 5}), Same(5)},
    {"TwoValuesFirstCounts", {"2/3", "7/9"}, Same(Pair{2, 3}), Same(3)},
    // A pair text without a total takes it from the first total key that
    // holds one; a total inside the text wins.
    {"TotalKeys", {"2"}, Same(Pair{2, 3}), Same(3), "TRACKTOTAL", "DISCTOTAL", {"3"}},
    {"OtherTotalKeys", {"2"}, Same(Pair{2, 3}), Same(3), "TOTALTRACKS", "TOTALDISCS", {"3"}},
    {"TotalKeysWithoutPairText", {}, Same(Pair{0, 3}), Same(3), "TRACKTOTAL", "TOTALDISCS", {"3"}},
    {"PairTotalWinsOverTotalKeys", {"2/5"}, Same(Pair{2, 5}), Same(5), "TRACKTOTAL", "DISCTOTAL", {"3"}},
    {"UnparsablePairTakesTotalKeys", {"x"}, Same(Pair{0, 3}), Same(3), "TOTALTRACKS", "DISCTOTAL", {"3"}},
};

void PrintTo(const ReadRow& row, std::ostream* os) { *os << row.name; }

using NumberGetters = RowOnFormat<ReadRow>;

TEST_P(NumberGetters, ReadTheStoredPairWithoutSaving) {
  const std::string path = Copy();
  if (!row().stored.empty()) {
    SetValues(path, kDisc, row().stored);
    SetValues(path, kTrack, row().stored);
  }
  if (row().track_total_key != nullptr) {
    SetValues(path, row().track_total_key, row().total);
    SetValues(path, row().disc_total_key, row().total);
  }
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(OV_GetDisc(path.c_str()), row().disc(kind()).first);
  EXPECT_EQ(OV_GetDiscTotal(path.c_str()), row().disc(kind()).second);
  EXPECT_EQ(OV_GetTrackTotal(path.c_str()), row().track_total(kind()));
  // The bulk read agrees with the getters.
  const auto read = orvell_test::ReadAll(path);
  ASSERT_TRUE(read);
  EXPECT_EQ(orvell_blocks::DecimalField((*read)[orvell_blocks::kDisc]), row().disc(kind()).first);
  EXPECT_EQ(orvell_blocks::DecimalField((*read)[orvell_blocks::kDiscTotal]), row().disc(kind()).second);
  EXPECT_EQ(orvell_blocks::DecimalField((*read)[orvell_blocks::kTrackTotal]), row().track_total(kind()));
  EXPECT_EQ(ReadBytes(path), bytes) << "a getter changed the file";
}

bool StoresTotalKey(const ReadRow& row) { return row.track_total_key != nullptr; }

INSTANTIATE_TEST_SUITE_P(Table, NumberGetters, ::testing::ValuesIn(RowsOnFormats(kReadRows)),
                         CaseName<ReadRow>);

// --- Whole files ---------------------------------------------------------

class NumberFields : public ::testing::TestWithParam<Format> {
 protected:
  TempDir dir_;
};

TEST_P(NumberFields, SettersRoundTripThroughTheGetters) {
  const std::string path = dir_.Copy(GetParam().fixture);
  ASSERT_EQ(OV_SetTrack(path.c_str(), 7), 1);
  ASSERT_EQ(OV_SetTrackTotal(path.c_str(), 14), 1);
  ASSERT_EQ(OV_SetDiscTotal(path.c_str(), 3), 1);
  ASSERT_EQ(OV_SetDisc(path.c_str(), 2), 1);
  EXPECT_EQ(OV_GetTrack(path.c_str()), 7);
  EXPECT_EQ(OV_GetTrackTotal(path.c_str()), 14);
  EXPECT_EQ(OV_GetDisc(path.c_str()), 2);
  EXPECT_EQ(OV_GetDiscTotal(path.c_str()), 3);
  EXPECT_EQ(orvell_test::Values(path, kTrack), Texts{"7/14"});
  EXPECT_EQ(orvell_test::Values(path, kDisc), Texts{"2/3"});
}

TEST_P(NumberFields, SettersLeaveEveryOtherPropertyAsItWas) {
  const std::string path = dir_.Copy(GetParam().fixture);
  orvell_test::Edit(path, [](TagLib::FileRef& ref) {
    ref.tag()->setTitle(TagLib::String("Title ☕", TagLib::String::UTF8));
    ref.tag()->setArtist(TagLib::String("Artist", TagLib::String::UTF8));
  });
  SetValues(path, "ALBUMARTIST", {"Album Artist"});
  SetValues(path, "COMPOSER", {"Composer é"});
  SetValues(path, kTrack, {"3/12"});
  SetValues(path, kDisc, {"1/2"});
  const struct {
    Setter setter;
    const char* key;
  } calls[] = {{OV_SetTrack, kTrack}, {OV_SetTrackTotal, kTrack}, {OV_SetDisc, kDisc},
               {OV_SetDiscTotal, kDisc}};
  for (const auto& call : calls) {
    const auto others = PropertiesExcept(path, call.key);
    ASSERT_EQ(call.setter(path.c_str(), 5), 1);
    EXPECT_EQ(PropertiesExcept(path, call.key), others) << call.key;
  }
  EXPECT_EQ(orvell_test::Values(path, kTrack), Texts{"5/5"});
  EXPECT_EQ(orvell_test::Values(path, kDisc), Texts{"5/5"});
}

TEST(NumberFieldsText, LargestNumbersRoundTripWhereTheFormatKeepsText) {
  // M4A keeps 16-bit numbers (see NumberFieldsM4a below).
  TempDir dir;
  for (const Format& format : kFormats) {
    if (format.kind == Kind::M4a) continue;
    const std::string path = dir.Copy(format.fixture);
    ASSERT_EQ(OV_SetDisc(path.c_str(), INT32_MAX), 1);
    ASSERT_EQ(OV_SetDiscTotal(path.c_str(), INT32_MAX), 1);
    EXPECT_EQ(OV_GetDisc(path.c_str()), INT32_MAX) << format.fixture;
    EXPECT_EQ(OV_GetDiscTotal(path.c_str()), INT32_MAX) << format.fixture;
    EXPECT_EQ(orvell_test::Values(path, kDisc), Texts{"2147483647/2147483647"});
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, NumberFields, ::testing::ValuesIn(kFormats),
                         [](const auto& p) { return FormatName(p.param); });

TEST(NumberFieldsMp3, PairsAreOneTrckAndOneTposFrame) {
  TempDir dir;
  const std::string path = dir.Copy("silence.mp3");
  SetValues(path, kDisc, {"1/2", "9/9"});
  ASSERT_EQ(OV_SetTrack(path.c_str(), 5), 1);
  ASSERT_EQ(OV_SetTrackTotal(path.c_str(), 12), 1);
  ASSERT_EQ(OV_SetDisc(path.c_str(), 3), 1);
  TagLib::MPEG::File file(path.c_str());
  ASSERT_NE(file.ID3v2Tag(), nullptr);
  const TagLib::ID3v2::FrameList& trck = file.ID3v2Tag()->frameList("TRCK");
  const TagLib::ID3v2::FrameList& tpos = file.ID3v2Tag()->frameList("TPOS");
  ASSERT_EQ(trck.size(), 1u);
  ASSERT_EQ(tpos.size(), 1u);
  EXPECT_EQ(trck.front()->toString().to8Bit(true), "5/12");
  EXPECT_EQ(tpos.front()->toString().to8Bit(true), "3/2");
  EXPECT_EQ(file.ID3v2Tag()->title().to8Bit(true), "Silence") << "fixture title kept";
}

TEST(NumberFieldsMp3, ATotalWithoutTrackNumberIsKept) {
  // TagLib's MPEG save would fill a TRCK whose number is 0 from an ID3v1
  // tag, whose track is 0 too, and so remove the frame; nothing is copied
  // between an MP3's tags, with or without an ID3v1 tag beside the ID3v2
  // tag, and a track total without a track number stays like a disc's.
  TempDir dir;
  const std::string path = dir.Copy("silence.mp3");
  const std::string with_id3v1 = dir.Copy("silence.mp3", "with_id3v1.mp3");
  orvell_test::Edit(with_id3v1, [](TagLib::FileRef& ref) {
    static_cast<TagLib::MPEG::File*>(ref.file())->ID3v1Tag(true)->setTitle("Silence");
  });
  for (const std::string& file : {path, with_id3v1}) {
    SCOPED_TRACE(file);
    ASSERT_EQ(OV_SetTrackTotal(file.c_str(), 12), 1);
    EXPECT_EQ(OV_GetTrackTotal(file.c_str()), 12);
    EXPECT_EQ(orvell_test::Values(file, kTrack), Texts{"0/12"});
    ASSERT_EQ(OV_SetDiscTotal(file.c_str(), 12), 1);
    EXPECT_EQ(OV_GetDiscTotal(file.c_str()), 12);
    EXPECT_EQ(orvell_test::Values(file, kDisc), Texts{"0/12"});
  }
}

TEST(NumberFieldsM4a, PairsAreTrknAndDiskNumberPairs) {
  TempDir dir;
  const std::string path = dir.Copy("silence.m4a");
  ASSERT_EQ(OV_SetTrack(path.c_str(), 5), 1);
  ASSERT_EQ(OV_SetTrackTotal(path.c_str(), 12), 1);
  ASSERT_EQ(OV_SetDiscTotal(path.c_str(), 2), 1);
  TagLib::MP4::File file(path.c_str());
  ASSERT_NE(file.tag(), nullptr);
  const TagLib::MP4::Item::IntPair trkn = file.tag()->item("trkn").toIntPair();
  const TagLib::MP4::Item::IntPair disk = file.tag()->item("disk").toIntPair();
  EXPECT_EQ(trkn.first, 5);
  EXPECT_EQ(trkn.second, 12);
  EXPECT_EQ(disk.first, 0);
  EXPECT_EQ(disk.second, 2);
}

TEST(NumberFieldsM4a, NumbersAreKeptInSixteenBits) {
  // TagLib writes each half of "trkn" and "disk" as a 16-bit value and
  // gives no sign of the loss: 32767 fits, 70000 comes back as 4464.
  TempDir dir;
  const std::string path = dir.Copy("silence.m4a");
  ASSERT_EQ(OV_SetDisc(path.c_str(), 32767), 1);
  EXPECT_EQ(OV_GetDisc(path.c_str()), 32767);
  ASSERT_EQ(OV_SetDisc(path.c_str(), 70000), 1);
  EXPECT_EQ(OV_GetDisc(path.c_str()), 70000 - 65536);
}

TEST(NumberFieldsWithoutTag, WorkThroughTheMapAlone) {
  // No tag test: a file whose tag() is null is written and read, with one
  // save per setter and none per getter. Such a file has no properties, so
  // nothing is read back.
  TempDir dir;
  orvell_test::ResetFake();
  const std::string path = orvell_test::MakeFakeFile(dir, "notag");
  for (Setter setter : {OV_SetTrack, OV_SetTrackTotal, OV_SetDisc, OV_SetDiscTotal}) {
    EXPECT_EQ(setter(path.c_str(), 4), 1);
  }
  for (auto getter : {OV_GetTrackTotal, OV_GetDisc, OV_GetDiscTotal}) {
    EXPECT_EQ(getter(path.c_str()), 0);
  }
  EXPECT_EQ(orvell_test::Fake().opens, 7);
  EXPECT_EQ(orvell_test::Fake().saves, 4);
}

}  // namespace
