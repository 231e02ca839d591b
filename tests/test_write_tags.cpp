// OV_WriteTags: argument tests and the early returns that never open the
// file, the track and disc pair rules on real files, property and year
// records, one save and at most one setProperties() through the fake file,
// and a whole block applied to FLAC, MP3 and M4A and read back.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "block_codec.h"
#include "orvell.h"
#include "support/fake_file.h"
#include "support/set_fields.h"
#include "support/tag_model.h"
#include "support/tail_buffer.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"

namespace {

using orvell_blocks::Action;
using orvell_test::Fake;
using orvell_test::MakeFakeFile;
using orvell_test::ResetFake;
using orvell_test::SetValues;
using orvell_test::TempDir;
using orvell_test::Values;
using Texts = std::vector<std::string>;

struct Change {
  size_t record;
  Action action;
  std::string value;
};

// A block that keeps every record but the changed ones.
std::string BlockWith(const std::vector<Change>& changes) {
  orvell_blocks::WriteRecords records;
  for (const Change& change : changes) records[change.record] = {change.action, change.value};
  return orvell_blocks::EncodeWriteBlock(records);
}

// Calls OV_WriteTags with block and its NUL at the end of an allocation of
// exactly that size.
int32_t WriteRaw(const std::string& path, const std::string& block) {
  const std::string bytes = block + '\0';
  const orvell_test::TailBuffer buffer(bytes);
  return OV_WriteTags(path.c_str(), buffer.data(), static_cast<int32_t>(bytes.size()));
}

int32_t Write(const std::string& path, const std::vector<Change>& changes) {
  return WriteRaw(path, BlockWith(changes));
}

Change Set(size_t record, std::string value) { return {record, Action::Set, std::move(value)}; }
Change Clear(size_t record) { return {record, Action::Clear, ""}; }

orvell_blocks::ReadFields FieldsOf(const std::string& path) {
  const auto fields = orvell_test::ReadAll(path);
  if (!fields) {
    ADD_FAILURE() << "no read block from " << path;
    return orvell_blocks::ReadFields();
  }
  return *fields;
}

// The documented example: title Café, album artist cleared, album Blue,
// comment set empty, year 2024, track 3 of 12, disc cleared.
const char kExample[] = "6:1Café1:01:25:1Blue1:01:11:01:05:120242:133:1121:21:0";

// ---------------------------------------------------------------------------
// Arguments and the returns that come before any file access.

class WriteTagsFrame : public ::testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
  TempDir dir_;
};

TEST_F(WriteTagsFrame, AnAllKeepBlockReturnsZeroWithoutOpening) {
  const std::string keep = BlockWith({});
  EXPECT_EQ(WriteRaw(dir_.File("missing.flac"), keep), 0);
  EXPECT_EQ(WriteRaw(MakeFakeFile(dir_, "plain"), keep), 0);
  EXPECT_EQ(WriteRaw(MakeFakeFile(dir_, "notag-failsave"), keep), 0);
  EXPECT_EQ(Fake().opens, 0);
  // Leading zeros and bytes after the NUL change nothing.
  std::string padded = "01:0" + std::string("0001:0");
  for (int i = 0; i < 11; ++i) padded += "1:0";
  padded += std::string(1, '\0') + "1:1";
  EXPECT_EQ(OV_WriteTags(dir_.File("missing.flac").c_str(), padded.data(),
                         static_cast<int32_t>(padded.size())),
            0);
}

TEST_F(WriteTagsFrame, TestsPathThenBlockThenSize) {
  const std::string fake = MakeFakeFile(dir_, "plain");
  EXPECT_EQ(OV_WriteTags(nullptr, nullptr, 0), -1);
  EXPECT_EQ(OV_WriteTags("", kExample, sizeof kExample), -1);
  EXPECT_EQ(OV_WriteTags(fake.c_str(), nullptr, sizeof kExample), -2);
  EXPECT_EQ(OV_WriteTags(fake.c_str(), kExample, 0), -2);
  EXPECT_EQ(OV_WriteTags(fake.c_str(), kExample, -1), -2);
  EXPECT_EQ(OV_WriteTags(fake.c_str(), kExample, INT32_MIN), -2);
  EXPECT_EQ(Fake().opens, 0);
}

TEST_F(WriteTagsFrame, ABlockFaultReturnsItsCodeWithoutOpening) {
  struct Row {
    const char* what;
    std::string bytes;  // passed whole as the block
    int32_t expected;
  };
  const std::string example = kExample;
  const Row rows[] = {
      {"NUL outside the size", example, -5},
      {"only a NUL", std::string(1, '\0'), -5},
      {"twelve records", BlockWith({}).substr(3) + '\0', -5},
      {"a fourteenth record", BlockWith({}) + "1:0" + '\0', -5},
      {"length zero", "0:" + BlockWith({}).substr(3) + '\0', -5},
      {"keep with a value", "2:0x" + BlockWith({}).substr(3) + '\0', -5},
      {"action 3", "1:3" + BlockWith({}).substr(3) + '\0', -6},
      {"year with a letter", BlockWith({Set(8, "20x4")}) + '\0', -7},
      {"year above the range", BlockWith({Set(8, "2147483648")}) + '\0', -7},
      // The total is checked even where clearing the track would ignore it.
      {"bad total beside a cleared track", BlockWith({Clear(9), Set(10, "1x")}) + '\0', -7},
      {"empty disc total", BlockWith({Set(12, "")}) + '\0', -7},
  };
  const std::string fake = MakeFakeFile(dir_, "plain");
  for (const Row& row : rows) {
    for (const std::string& path : {fake, dir_.File("missing.flac")}) {
      const orvell_test::TailBuffer buffer(row.bytes);
      EXPECT_EQ(OV_WriteTags(path.c_str(), buffer.data(), static_cast<int32_t>(row.bytes.size())),
                row.expected)
          << row.what << " on " << path;
    }
  }
  EXPECT_EQ(Fake().opens, 0);
}

TEST_F(WriteTagsFrame, AFileThatDoesNotOpenOrHasNoTag) {
  const std::vector<Change> title = {Set(0, "x")};
  EXPECT_EQ(Write(dir_.File("missing.flac"), title), -3);
  EXPECT_EQ(Write(dir_.Copy("notaudio.flac"), title), -3);
  EXPECT_EQ(Write(dir_.Copy("unknown.xyz"), title), -3);
  EXPECT_EQ(Write(MakeFakeFile(dir_, "notag"), title), -4);
  EXPECT_EQ(Write(MakeFakeFile(dir_, "notag"), {Set(6, "Composer")}), -4);
  EXPECT_EQ(Fake().saves, 0);
  EXPECT_EQ(Fake().property_writes, 0);
}

// ---------------------------------------------------------------------------
// Through the fake file: what reaches TagLib.

// The fake's stored fields against expected, all of them.
void ExpectStored(const orvell_test::FakeFields& expected) {
  const orvell_test::FakeFields& stored = Fake().stored;
  EXPECT_EQ(stored.title, expected.title);
  EXPECT_EQ(stored.artist, expected.artist);
  EXPECT_EQ(stored.album, expected.album);
  EXPECT_EQ(stored.comment, expected.comment);
  EXPECT_EQ(stored.genre, expected.genre);
  EXPECT_EQ(stored.year, expected.year);
  EXPECT_EQ(stored.track, expected.track);
}

class WriteTagsFake : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFake();
    orvell_test::FakeFields& stored = Fake().stored;
    stored = {"Old Title", "Old Artist", "Old Album", "Old Comment", "Old Genre", 1990, 5};
  }
  TempDir dir_;
};

TEST_F(WriteTagsFake, GenericFieldsNeverGoThroughSetProperties) {
  const std::string path = MakeFakeFile(dir_, "plain");
  EXPECT_EQ(Write(path, {Set(0, "T"), Set(1, "A"), Set(3, "Al"), Set(4, "G"), Set(5, "C"),
                         Set(8, "2024")}),
            1);
  EXPECT_EQ(Fake().opens, 1);
  EXPECT_EQ(Fake().saves, 1);
  EXPECT_EQ(Fake().property_writes, 0);
  ExpectStored({"T", "A", "Al", "C", "G", 2024, 5});

  EXPECT_EQ(Write(path, {Clear(0), Clear(1), Clear(3), Clear(4), Clear(5), Clear(8)}), 1);
  EXPECT_EQ(Fake().saves, 2);
  EXPECT_EQ(Fake().property_writes, 0);
  ExpectStored({"", "", "", "", "", 0, 5});
}

TEST_F(WriteTagsFake, AnyPropertyRecordMeansOneSetPropertiesAndOneSave) {
  const std::string path = MakeFakeFile(dir_, "plain");
  const std::vector<std::vector<Change>> blocks = {
      {Set(2, "AA")}, {Clear(6)},   {Set(7, "")},          {Clear(9)},
      {Set(10, "2")}, {Clear(11)},  {Set(12, "3")},        {Set(9, "1"), Set(10, "2")},
      {Set(0, "T"), Set(2, "AA"), Set(6, "C"), Set(9, "1"), Set(11, "1"), Set(8, "1")},
  };
  for (const auto& block : blocks) {
    ResetFake();
    EXPECT_EQ(Write(path, block), 1);
    EXPECT_EQ(Fake().opens, 1);
    EXPECT_EQ(Fake().saves, 1);
    EXPECT_EQ(Fake().property_writes, 1) << BlockWith(block);
  }
}

TEST_F(WriteTagsFake, TheWorkedExampleSavesOnceAndKeepsWhatItKeeps) {
  const std::string path = MakeFakeFile(dir_, "plain");
  EXPECT_EQ(OV_WriteTags(path.c_str(), kExample, sizeof kExample), 1);
  EXPECT_EQ(Fake().saves, 1);
  EXPECT_EQ(Fake().property_writes, 1);
  // The track went through the generic property code of the fake, which
  // cannot read "3/12"; what counts here is that the map was written once.
  const orvell_test::FakeFields& stored = Fake().stored;
  ExpectStored({"Café", "Old Artist", "Blue", "", "Old Genre", 2024, stored.track});
}

TEST_F(WriteTagsFake, TagFieldsWinOverThePropertyMapCopy) {
  // The map copy carries the old title; the title record is applied after
  // the map went back, so it is the one that stays.
  const std::string path = MakeFakeFile(dir_, "plain");
  EXPECT_EQ(Write(path, {Set(0, "New"), Set(2, "AA"), Clear(8)}), 1);
  EXPECT_EQ(Fake().property_writes, 1);
  ExpectStored({"New", "Old Artist", "Old Album", "Old Comment", "Old Genre", 0, 5});
}

TEST_F(WriteTagsFake, AFailedSaveGivesMinusEight) {
  const std::string path = MakeFakeFile(dir_, "failsave");
  EXPECT_EQ(Write(path, {Set(0, "T")}), -8);
  EXPECT_EQ(Write(path, {Set(2, "AA"), Set(0, "T")}), -8);
  EXPECT_EQ(Fake().saves, 2);
  EXPECT_EQ(Fake().stored.title, "Old Title");
}

// ---------------------------------------------------------------------------
// The number pairs on FLAC, starting from given "TRACKNUMBER" and
// "DISCNUMBER" texts (an empty list: the key absent).

struct PairRow {
  const char* name;
  Texts track_before;
  Texts disc_before;
  std::vector<Change> changes;
  Texts track_after;
  Texts disc_after;
};

void PrintTo(const PairRow& row, std::ostream* os) { *os << row.name; }

const std::vector<PairRow>& PairRows() {
  static const std::vector<PairRow> rows = {
      {"ClearTrackIgnoresTheTotal", {"5/3"}, {"2/3"}, {Clear(9), Set(10, "12")}, {}, {"2/3"}},
      {"ClearTrackAndTotal", {"5/12"}, {}, {Clear(9), Clear(10)}, {}, {}},
      {"TotalJoinsTheStoredTrack", {"5"}, {}, {Set(10, "12")}, {"5/12"}, {}},
      {"TotalWithoutAnyTrack", {}, {}, {Set(10, "12")}, {"0/12"}, {}},
      {"ClearTotalKeepsTheTrack", {"5/12"}, {}, {Clear(10)}, {"5"}, {}},
      {"TotalZeroKeepsTheTrack", {"5/12"}, {}, {Set(10, "0")}, {"5"}, {}},
      {"TrackZeroWithoutTotalErases", {"5"}, {}, {Set(9, "0")}, {}, {}},
      {"TrackZeroKeepsTheTotal", {"5/12"}, {}, {Set(9, "0")}, {"0/12"}, {}},
      {"TrackKeepsTheTotal", {"5/12"}, {}, {Set(9, "3")}, {"3/12"}, {}},
      {"TrackAndTotalSet", {}, {}, {Set(9, "3"), Set(10, "12")}, {"3/12"}, {}},
      {"TrackWithLeadingZeros", {}, {}, {Set(9, "007")}, {"7"}, {}},
      {"TrackAtTheTopOfTheRange", {}, {}, {Set(9, "2147483647"), Set(10, "2147483647")},
       {"2147483647/2147483647"}, {}},
      {"UnparsableTrackCountsAsZeros", {"x/y"}, {}, {Set(10, "4")}, {"0/4"}, {}},
      {"NegativeTrackIsNotWritten", {"-2"}, {}, {Set(10, "5")}, {"0/5"}, {}},
      {"UnparsableTrackIsLeftWhenBothKeep", {"x"}, {"2"}, {Set(11, "1")}, {"x"}, {"1"}},
      {"ClearDiscKeepsTheTotal", {}, {"2/3"}, {Clear(11)}, {}, {"0/3"}},
      {"ClearDiscAndTotalErases", {}, {"2/3"}, {Clear(11), Clear(12)}, {}, {}},
      {"ClearDiscSetTotal", {}, {"2/3"}, {Clear(11), Set(12, "5")}, {}, {"0/5"}},
      {"ClearDiscTotal", {}, {"2/3"}, {Clear(12)}, {}, {"2"}},
      {"DiscWithoutAnyDisc", {}, {}, {Set(11, "1")}, {}, {"1"}},
      {"DiscTotalWithoutAnyDisc", {}, {}, {Set(12, "2")}, {}, {"0/2"}},
      {"DiscKeepsTheTotal", {}, {"2/3"}, {Set(11, "1")}, {}, {"1/3"}},
      {"ClearDiscWithoutAnyDisc", {}, {}, {Clear(11)}, {}, {}},
      {"UnparsableDiscIsLeftWhenBothKeep", {"3"}, {"x"}, {Set(9, "1")}, {"1"}, {"x"}},
      {"BothPairsAtOnce", {"1/2"}, {"3/4"}, {Set(9, "5"), Clear(10), Set(12, "9")}, {"5"},
       {"3/9"}},
  };
  return rows;
}

class WriteTagsPairs : public ::testing::TestWithParam<PairRow> {};

TEST_P(WriteTagsPairs, OnFlac) {
  const PairRow& row = GetParam();
  TempDir dir;
  const std::string path = dir.Copy("silence.flac");
  SetValues(path, "TRACKNUMBER", row.track_before);
  SetValues(path, "DISCNUMBER", row.disc_before);
  ASSERT_EQ(Values(path, "TRACKNUMBER"), row.track_before);
  ASSERT_EQ(Values(path, "DISCNUMBER"), row.disc_before);
  ASSERT_EQ(Write(path, row.changes), 1);
  EXPECT_EQ(Values(path, "TRACKNUMBER"), row.track_after);
  EXPECT_EQ(Values(path, "DISCNUMBER"), row.disc_after);
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteTagsPairs, ::testing::ValuesIn(PairRows()),
                         [](const auto& p) { return std::string(p.param.name); });

TEST(WriteTagsTrack, ABadTotalBesideAClearedTrackLeavesTheFileAlone) {
  TempDir dir;
  const std::string path = dir.Copy("silence.flac");
  SetValues(path, "TRACKNUMBER", {"5/12"});
  const std::string before = orvell_test::ReadBytes(path);
  EXPECT_EQ(Write(path, {Clear(9), Set(10, "12x")}), -7);
  EXPECT_EQ(orvell_test::ReadBytes(path), before);
}

// A WavPack file whose APE tag has no usable track while its ID3v1 tag
// holds 7: Tag::track() is 7 whatever "TRACKNUMBER" holds, and a reader
// sees track 7. TagLib writes the APE tag's map into the ID3v1 tag too, so
// any write of the map would empty that track unless it is kept. Every
// kind of write keeps it; a pair write combines it with the new half.
TEST(WriteTagsTrack, EveryWriteKeepsATrackOnlyTheId3v1TagHolds) {
  namespace ob = orvell_blocks;
  using orvell_test::SetNumber;
  using orvell_test::SetText;
  using orvell_test::WriteBlock;
  ob::WriteRecords totals;
  totals[ob::kTrackTotal] = {Action::Set, "12"};
  totals[ob::kDiscTotal] = {Action::Set, "2"};
  ob::WriteRecords composer;
  composer[ob::kComposer] = {Action::Set, "Bulk composer"};
  const orvell_test::WriteOp writes[] = {
      SetNumber(ob::kTrackTotal, 12),  // 7/12: the track the reader saw
      SetNumber(ob::kDisc, 2),
      SetNumber(ob::kDiscTotal, 3),
      SetText(ob::kComposer, "Composer"),
      SetText(ob::kAlbumArtist, "Album artist"),
      orvell_test::SetArtistSync("Synced", 1),
      WriteBlock("track and disc totals", totals),
      WriteBlock("composer", composer),
      SetNumber(ob::kTrack, 0),  // the one write that removes it
  };
  TempDir dir;
  for (const orvell_test::WriteOp& write : writes) {
    SCOPED_TRACE(write.name);
    const std::string path = dir.Copy("silence.wv");
    orvell_test::SplitWavPackTrack(path, "", 7);
    ASSERT_TRUE(Values(path, "TRACKNUMBER").empty());
    ASSERT_EQ(OV_GetTrack(path.c_str()), 7);
    auto model = orvell_test::ModelOf(FieldsOf(path));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->Number(ob::kTrack), 7);
    ASSERT_EQ(write.call(path.c_str()), 1);
    write.apply(*model);
    const auto seen = orvell_test::ModelOf(FieldsOf(path));
    ASSERT_TRUE(seen);
    EXPECT_EQ(Describe(*seen), Describe(*model));
    EXPECT_EQ(OV_GetTrack(path.c_str()), model->Number(ob::kTrack));
  }
}

TEST(WriteTagsTrack, AKeptTrackComesFromTheTagWhenTrackNumberHasNoValue) {
  TempDir dir;
  const std::string path = dir.Copy("silence.wv");
  orvell_test::SplitWavPackTrack(path, "", 7);
  ASSERT_EQ(Write(path, {Set(10, "12"), Set(12, "2")}), 1);
  EXPECT_EQ(Values(path, "TRACKNUMBER"), Texts{"7/12"});
  EXPECT_EQ(Values(path, "DISCNUMBER"), Texts{"0/2"}) << "the disc has no fallback";
}

TEST(WriteTagsTrack, AnUnparsableTrackNumberIsNotReplacedByTheTags) {
  TempDir dir;
  const std::string path = dir.Copy("silence.wv");
  orvell_test::SplitWavPackTrack(path, "x/y", 7);
  ASSERT_EQ(Values(path, "TRACKNUMBER"), Texts{"x/y"});
  ASSERT_EQ(OV_GetTrack(path.c_str()), 7);
  ASSERT_EQ(Write(path, {Set(10, "4")}), 1);
  EXPECT_EQ(Values(path, "TRACKNUMBER"), Texts{"0/4"});
}

// ---------------------------------------------------------------------------
// Text properties and the year.

TEST(WriteTagsText, SetReplacesEveryValueAndClearErasesTheKey) {
  TempDir dir;
  const std::string path = dir.Copy("silence.flac");
  SetValues(path, "COMPOSER", {"A", "B"});
  SetValues(path, "CONDUCTOR", {"Cond"});
  ASSERT_EQ(Write(path, {Set(2, "Album Artist: 東京"), Set(6, "C"), Clear(7)}), 1);
  EXPECT_EQ(Values(path, "ALBUMARTIST"), Texts{"Album Artist: 東京"});
  EXPECT_EQ(Values(path, "COMPOSER"), Texts{"C"});
  EXPECT_TRUE(Values(path, "CONDUCTOR").empty());
}

TEST(WriteTagsText, AnEmptySetStoresAnEmptyValueWhereClearErases) {
  // MP4 keeps a property holding one empty text; FLAC drops empty values.
  TempDir dir;
  const std::string path = dir.Copy("silence.m4a");
  SetValues(path, "ALBUMARTIST", {"Before"});
  ASSERT_EQ(Write(path, {Set(2, "")}), 1);
  EXPECT_EQ(Values(path, "ALBUMARTIST"), Texts{""});
  ASSERT_EQ(Write(path, {Clear(2)}), 1);
  EXPECT_TRUE(Values(path, "ALBUMARTIST").empty());

  // The tag fields behave alike: an empty set and a clear both empty them.
  ASSERT_EQ(Write(path, {Set(0, "T"), Set(4, "G")}), 1);
  ASSERT_EQ(Write(path, {Set(0, ""), Clear(4)}), 1);
  EXPECT_EQ(orvell_test::ReadTag(path).title, "");
  EXPECT_EQ(orvell_test::ReadTag(path).genre, "");
}

TEST(WriteTagsYear, SetAndClear) {
  TempDir dir;
  const std::string path = dir.Copy("silence.flac");
  ASSERT_EQ(Write(path, {Set(8, "2024")}), 1);
  EXPECT_EQ(orvell_test::ReadTag(path).year, 2024u);
  ASSERT_EQ(Write(path, {Set(8, "001999")}), 1);
  EXPECT_EQ(OV_GetYear(path.c_str()), 1999);
  ASSERT_EQ(Write(path, {Clear(8)}), 1);
  EXPECT_EQ(OV_GetYear(path.c_str()), 0);
  ASSERT_EQ(Write(path, {Set(8, "1970")}), 1);
  ASSERT_EQ(Write(path, {Set(8, "0")}), 1);
  EXPECT_EQ(OV_GetYear(path.c_str()), 0);
}

// ---------------------------------------------------------------------------
// The worked example on real files, read back with OV_ReadTags. Every field
// starts with a value, so the kept ones show that they stayed.

class WriteTagsExample : public ::testing::TestWithParam<std::string> {};

TEST_P(WriteTagsExample, ReadsBackAsWritten) {
  TempDir dir;
  const std::string path = dir.Copy(GetParam());
  ASSERT_TRUE(orvell_test::SetEachField(
      path, {{"Old Title", "Kept Artist", "Old Album Artist", "Old Album", "Kept Genre",
              "Old Comment", "Kept Composer", "Kept Conductor"},
             {1990, 5, 9, 2, 3}}));

  const orvell_blocks::ReadFields before = FieldsOf(path);
  const orvell_blocks::ReadFields set_up = {
      "Old Title", "Kept Artist", "Old Album Artist", "Old Album", "Kept Genre", "Old Comment",
      "Kept Composer", "Kept Conductor", "1990", "5", "9", "2", "3"};
  for (size_t i = 0; i < 13; ++i) {
    EXPECT_EQ(before[i], set_up[i]) << orvell_blocks::kFieldNames[i] << " before the write";
  }

  ASSERT_EQ(OV_WriteTags(path.c_str(), kExample, sizeof kExample), 1);
  orvell_blocks::ReadFields expected = before;
  expected[orvell_blocks::kTitle] = "Café";
  expected[orvell_blocks::kAlbumArtist] = "";
  expected[orvell_blocks::kAlbum] = "Blue";
  expected[orvell_blocks::kComment] = "";
  expected[orvell_blocks::kYear] = "2024";
  expected[orvell_blocks::kTrack] = "3";
  expected[orvell_blocks::kTrackTotal] = "12";
  expected[orvell_blocks::kDisc] = "0";
  const orvell_blocks::ReadFields after = FieldsOf(path);
  for (size_t i = 0; i < orvell_blocks::kReadFields; ++i) {
    EXPECT_EQ(after[i], expected[i]) << orvell_blocks::kFieldNames[i];
  }
  // What another reader sees.
  EXPECT_EQ(Values(path, "TRACKNUMBER"), Texts{"3/12"});
  EXPECT_EQ(Values(path, "DISCNUMBER"), Texts{"0/3"});
  EXPECT_TRUE(Values(path, "ALBUMARTIST").empty());
  EXPECT_EQ(orvell_test::ReadTag(path).title, "Café");
  EXPECT_EQ(orvell_test::ReadTag(path).year, 2024u);
}

// A quarter of a second of MP3 is audio too, as is Opus in MP4, of which
// TagLib reads the length but not the sample rate.
INSTANTIATE_TEST_SUITE_P(Formats, WriteTagsExample,
                         ::testing::Values("silence.flac", "silence.mp3", "silence.m4a",
                                           "short.mp3", "opus.mp4"),
                         [](const auto& p) {
                           return p.param.substr(0, p.param.find('.')) + "_" +
                                  p.param.substr(p.param.find('.') + 1);
                         });

}  // namespace
