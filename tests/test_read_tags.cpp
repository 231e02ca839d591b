// OV_ReadTags: the read block's bytes on fake and real files, its
// all-or-nothing copy-out, what the buffer holds after each result, and
// agreement with the single-field getters on every fixture format.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "block_codec.h"
#include "tag/number_pair.h"
#include "orvell.h"
#include "support/fake_file.h"
#include "support/set_fields.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"

namespace {

using orvell_blocks::DecodeReadBlock;
using orvell_blocks::ReadFields;
using orvell_test::Fake;
using orvell_test::MakeFakeFile;
using orvell_test::ResetFake;
using orvell_test::SetValues;
using orvell_test::TempDir;

constexpr int32_t kLarge = 1 << 16;
const char kEmptyBlock[] = "0:0:0:0:0:0:0:0:1:01:01:01:01:01:01:01:01:0";

// One call with a buffer of exactly size bytes, all 'x' beforehand, so
// that every byte the call writes, and any write past size, shows.
struct Reading {
  int32_t result;
  std::string buffer;  // all size bytes after the call

  std::string Block() const {
    return result >= 0 ? buffer.substr(0, static_cast<size_t>(result)) : std::string();
  }
  bool Untouched() const { return buffer.find_first_not_of('x') == std::string::npos; }
  // The first byte NUL, everything after it as it was.
  bool Emptied() const {
    return !buffer.empty() && buffer[0] == '\0' &&
           buffer.find_first_not_of('x', 1) == std::string::npos;
  }
  // The block, its NUL, and every byte after the NUL as it was.
  bool HoldsBlock() const {
    const size_t n = static_cast<size_t>(result);
    return result >= 0 && n < buffer.size() && buffer[n] == '\0' &&
           buffer.find_first_not_of('x', n + 1) == std::string::npos;
  }
};

Reading ReadInto(const char* path, int32_t size) {
  std::vector<char> buffer(static_cast<size_t>(size), 'x');
  const int32_t result = OV_ReadTags(path, buffer.data(), size);
  return {result, std::string(buffer.begin(), buffer.end())};
}

Reading ReadInto(const std::string& path, int32_t size) { return ReadInto(path.c_str(), size); }

std::string BlockOf(const std::string& path) {
  const Reading reading = ReadInto(path, kLarge);
  EXPECT_GE(reading.result, 43) << path;
  EXPECT_TRUE(reading.HoldsBlock()) << path;
  return reading.Block();
}

ReadFields FieldsOf(const std::string& path) {
  const std::string block = BlockOf(path);
  const auto fields = DecodeReadBlock(block);
  if (!fields) {
    ADD_FAILURE() << "not a read block: " << block;
    return ReadFields();
  }
  return *fields;
}

// The audio fields of a real file as the single-field getters give them.
std::string AudioFieldsOf(const std::string& path) {
  std::string out;
  for (int32_t value : {OV_GetDuration(path.c_str()), OV_GetBitrate(path.c_str()),
                        OV_GetSampleRate(path.c_str()), OV_GetChannels(path.c_str())}) {
    EXPECT_GE(value, 0) << path;
    const std::string digits = std::to_string(value);
    out += std::to_string(digits.size()) + ":" + digits;
  }
  return out;
}

std::string Suffix(const std::string& fixture) { return fixture.substr(fixture.find('.') + 1); }

class ReadTagsFake : public ::testing::Test {
 protected:
  void SetUp() override { ResetFake(); }
  TempDir dir_;
};

TEST_F(ReadTagsFake, AnEmptyTagWithoutAudioIsTheShortestBlock) {
  const std::string path = MakeFakeFile(dir_, "noaudio");
  ASSERT_EQ(sizeof kEmptyBlock - 1, 43u);

  const Reading exact = ReadInto(path, 44);
  EXPECT_EQ(exact.result, 43);
  EXPECT_EQ(exact.Block(), kEmptyBlock);
  EXPECT_TRUE(exact.HoldsBlock());

  const Reading roomy = ReadInto(path, 100);
  EXPECT_EQ(roomy.result, 43);
  EXPECT_TRUE(roomy.HoldsBlock()) << "bytes after the NUL are left alone";

  for (int32_t size : {43, 42, 1}) {
    const Reading short_of = ReadInto(path, size);
    EXPECT_EQ(short_of.result, -5) << size;
    EXPECT_TRUE(short_of.Emptied()) << size;
  }
  EXPECT_EQ(Fake().saves, 0);
}

TEST_F(ReadTagsFake, AudioFieldsAreZeroWithoutAudioProperties) {
  Fake().stored.title = "Abc";
  Fake().stored.year = 2001;
  EXPECT_EQ(BlockOf(MakeFakeFile(dir_, "noaudio")),
            "3:Abc0:0:0:0:0:0:0:4:20011:01:01:01:01:01:01:01:0");
  // The same tag with audio properties: 0 ms, 128 kb/s, 44100 Hz, stereo.
  EXPECT_EQ(BlockOf(MakeFakeFile(dir_, "plain")),
            "3:Abc0:0:0:0:0:0:0:4:20011:01:01:01:01:03:1285:441001:2");
}

TEST_F(ReadTagsFake, AFileWithoutATagGivesMinusFourAndAnEmptyBuffer) {
  const std::string path = MakeFakeFile(dir_, "notag");
  const Reading reading = ReadInto(path, 256);
  EXPECT_EQ(reading.result, -4);
  EXPECT_TRUE(reading.Emptied());
  EXPECT_EQ(Fake().opens, 1);
  EXPECT_EQ(Fake().saves, 0);
}

TEST_F(ReadTagsFake, EachFailureLeavesTheBufferAsDocumented) {
  const std::string fake = MakeFakeFile(dir_, "plain");
  const std::string missing = dir_.File("missing.flac");
  const std::string not_audio = dir_.Copy("notaudio.flac");
  const std::string unknown = dir_.Copy("unknown.xyz");
  const std::string notag = MakeFakeFile(dir_, "notag");
  const std::string throws = MakeFakeFile(dir_, "throws");
  enum class After { Untouched, Emptied };
  struct Row {
    const char* what;
    const char* path;
    int32_t size;
    int32_t expected;
    After after;
  };
  const Row rows[] = {
      {"NULL path", nullptr, 256, -1, After::Untouched},
      {"empty path", "", 256, -1, After::Untouched},
      {"NULL path, size 0", nullptr, 0, -1, After::Untouched},
      {"size 0", fake.c_str(), 0, -2, After::Untouched},
      {"size -1", fake.c_str(), -1, -2, After::Untouched},
      {"size INT32_MIN", fake.c_str(), INT32_MIN, -2, After::Untouched},
      {"missing file", missing.c_str(), 256, -3, After::Emptied},
      {"text under .flac", not_audio.c_str(), 256, -3, After::Emptied},
      {"unknown extension", unknown.c_str(), 256, -3, After::Emptied},
      {"no tag", notag.c_str(), 256, -4, After::Emptied},
      {"block does not fit", fake.c_str(), 20, -5, After::Emptied},
      {"TagLib throws", throws.c_str(), 256, -9, After::Emptied},
  };
  for (const Row& row : rows) {
    // A buffer that exists even for the sizes below 1.
    std::vector<char> memory(row.size > 0 ? static_cast<size_t>(row.size) : 16, 'x');
    const int32_t result = OV_ReadTags(row.path, memory.data(), row.size);
    EXPECT_EQ(result, row.expected) << row.what;
    const std::string after(memory.begin(), memory.end());
    if (row.after == After::Untouched) {
      EXPECT_EQ(after.find_first_not_of('x'), std::string::npos) << row.what;
    } else {
      EXPECT_EQ(after[0], '\0') << row.what;
      EXPECT_EQ(after.find_first_not_of('x', 1), std::string::npos) << row.what;
    }
  }
  EXPECT_EQ(OV_ReadTags(nullptr, nullptr, 256), -1);
  EXPECT_EQ(OV_ReadTags(fake.c_str(), nullptr, 256), -2);
  EXPECT_EQ(Fake().saves, 0);
}

// The structure of the documented example, on real files: title Abc,
// year 2001, "TRACKNUMBER" 3/12, nothing else; the audio fields are the
// file's own.
class ReadTagsExample : public ::testing::TestWithParam<std::string> {};

TEST_P(ReadTagsExample, HasTheDocumentedFieldsAndFitsExactly) {
  TempDir dir;
  const std::string path = dir.Copy(GetParam());
  orvell_test::ClearAll(path);
  orvell_test::Edit(path, [](TagLib::FileRef& ref) {
    ref.tag()->setTitle("Abc");
    ref.tag()->setYear(2001);
  });
  SetValues(path, "TRACKNUMBER", {"3/12"});
  const std::string expected = "3:Abc0:0:0:0:0:0:0:4:20011:32:121:01:0" + AudioFieldsOf(path);
  const std::string before = orvell_test::ReadBytes(path);

  const int32_t n = static_cast<int32_t>(expected.size());
  const Reading fits = ReadInto(path, n + 1);
  EXPECT_EQ(fits.result, n);
  EXPECT_EQ(fits.Block(), expected);
  EXPECT_TRUE(fits.HoldsBlock());
  const Reading one_short = ReadInto(path, n);
  EXPECT_EQ(one_short.result, -5);
  EXPECT_TRUE(one_short.Emptied());
  EXPECT_EQ(orvell_test::ReadBytes(path), before) << "reading changed the file";
}

INSTANTIATE_TEST_SUITE_P(Formats, ReadTagsExample,
                         ::testing::Values("silence.flac", "silence.mp3", "silence.m4a"),
                         [](const auto& p) { return Suffix(p.param); });

class ReadTagsFlac : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = dir_.Copy("silence.flac");
    orvell_test::ClearAll(path_);
  }
  TempDir dir_;
  std::string path_;
};

TEST_F(ReadTagsFlac, LengthsCountBytes) {
  struct Row {
    const char* title;
    const char* field;
  };
  const Row rows[] = {
      {"Café", "5:Café"},
      {"東京の夜", "12:東京の夜"},
      {"12:30", "5:12:30"},
      {"3:Abc", "5:3:Abc"},
  };
  for (const Row& row : rows) {
    ASSERT_EQ(OV_SetTitle(path_.c_str(), row.title), 1);
    ASSERT_EQ(OV_SetArtist(path_.c_str(), "1:x"), 1);
    const std::string block = BlockOf(path_);
    EXPECT_EQ(block.rfind(std::string(row.field) + "3:1:x0:", 0), 0u) << block;
    const ReadFields fields = FieldsOf(path_);
    EXPECT_EQ(fields[orvell_blocks::kTitle], row.title);
    EXPECT_EQ(fields[orvell_blocks::kArtist], "1:x");
  }
}

TEST_F(ReadTagsFlac, ALongCommentComesWholeWhenTheBufferHoldsIt) {
  // Well past the 8192 bytes reserved for a block, and not all one byte.
  std::string comment;
  while (comment.size() < 10000) comment += "comment é 東 " + std::to_string(comment.size()) + ";";
  comment.resize(10000);
  ASSERT_EQ(OV_SetComment(path_.c_str(), comment.c_str()), 1);
  const std::string block = BlockOf(path_);
  ASSERT_GT(block.size(), 10000u);
  const ReadFields fields = FieldsOf(path_);
  EXPECT_EQ(fields[orvell_blocks::kComment], comment);

  const int32_t n = static_cast<int32_t>(block.size());
  EXPECT_EQ(ReadInto(path_, n + 1).result, n);
  const Reading one_short = ReadInto(path_, n);
  EXPECT_EQ(one_short.result, -5);
  EXPECT_TRUE(one_short.Emptied());
}

TEST_F(ReadTagsFlac, NumberPairsAreSignedAndParsedOnce) {
  struct Row {
    const char* track;
    const char* disc;
    const char* fields;  // track, track total, disc, disc total
  };
  const Row rows[] = {
      {"-2", "1/2", "2:-21:01:11:2"},
      {"3/12", "-1/-4", "1:32:122:-12:-4"},
      {"2147483647/1", "-2147483648", "10:21474836471:111:-21474836481:0"},
      {" 04/010", "x/3", "1:42:101:01:0"},
      {"7/x", "/5", "1:01:01:01:5"},
  };
  for (const Row& row : rows) {
    SetValues(path_, "TRACKNUMBER", {row.track});
    SetValues(path_, "DISCNUMBER", {row.disc});
    const std::string block = BlockOf(path_);
    EXPECT_NE(block.find(std::string("0:0:0:1:0") + row.fields), std::string::npos)
        << row.track << " " << row.disc << ": " << block;
  }
}

TEST_F(ReadTagsFlac, AMultiValuedPropertyReadsAsItsFirstValue) {
  SetValues(path_, "COMPOSER", {"First Composer", "Second"});
  SetValues(path_, "ALBUMARTIST", {"AA", "BB", "CC"});
  const ReadFields fields = FieldsOf(path_);
  EXPECT_EQ(fields[orvell_blocks::kComposer], "First Composer");
  EXPECT_EQ(fields[orvell_blocks::kAlbumArtist], "AA");
}

// A WavPack file whose APE tag has no usable track while its ID3v1 tag
// holds 7: the property map and Tag::track() then disagree.
class ReadTagsTrackFallback : public ::testing::Test {
 protected:
  void SetUp() override { path_ = dir_.Copy("silence.wv"); }
  TempDir dir_;
  std::string path_;
};

TEST_F(ReadTagsTrackFallback, WithoutTrackNumberTheTagsTrackIsRead) {
  orvell_test::SplitWavPackTrack(path_, "", 7);
  ASSERT_TRUE(orvell_test::Values(path_, "TRACKNUMBER").empty());
  ASSERT_EQ(OV_GetTrack(path_.c_str()), 7);
  const ReadFields fields = FieldsOf(path_);
  EXPECT_EQ(fields[orvell_blocks::kTrack], "7");
  EXPECT_EQ(fields[orvell_blocks::kTrackTotal], "0");
  EXPECT_EQ(fields[orvell_blocks::kTitle], "Split");
  // The disc has no such fallback.
  EXPECT_EQ(fields[orvell_blocks::kDisc], "0");
}

TEST_F(ReadTagsTrackFallback, UnparsableTrackNumberStillCountsAsAValue) {
  for (const char* text : {"x", "x/9", "/9"}) {
    orvell_test::SplitWavPackTrack(path_, text, 7);
    ASSERT_EQ(orvell_test::Values(path_, "TRACKNUMBER"), std::vector<std::string>{text});
    EXPECT_EQ(OV_GetTrack(path_.c_str()), 7);
    const ReadFields fields = FieldsOf(path_);
    EXPECT_EQ(fields[orvell_blocks::kTrack], "0") << text;
    EXPECT_EQ(fields[orvell_blocks::kTrackTotal], text[0] == '/' ? "9" : "0") << text;
  }
}

TEST(ReadTagsDuration, RoundsHalfASecondUp) {
  TempDir dir;
  const auto duration = [&](const char* fixture) {
    return FieldsOf(dir.Copy(fixture))[orvell_blocks::kDuration];
  };
  EXPECT_EQ(duration("len1499ms.wav"), "1");
  EXPECT_EQ(duration("len1500ms.wav"), "2");
}

// Every field of the block against its single-field getter. The track
// differs on purpose: when "TRACKNUMBER" has a value the block reads it
// rather than Tag::track().
class ReadTagsConsistency : public ::testing::TestWithParam<std::string> {
 protected:
  void ExpectAgreement(const std::string& path) {
    const std::string before = orvell_test::ReadBytes(path);
    const ReadFields fields = FieldsOf(path);
    const char* p = path.c_str();
    using TextGetter = int32_t (*)(const char*, char*, int32_t);
    const TextGetter texts[8] = {OV_GetTitle, OV_GetArtist,  OV_GetAlbumArtist, OV_GetAlbum,
                                 OV_GetGenre, OV_GetComment, OV_GetComposer,    OV_GetConductor};
    for (size_t i = 0; i < 8; ++i) {
      std::vector<char> buffer(kLarge);
      const int32_t n = texts[i](p, buffer.data(), kLarge);
      ASSERT_GE(n, 0) << orvell_blocks::kFieldNames[i];
      EXPECT_EQ(fields[i], std::string(buffer.data(), static_cast<size_t>(n)))
          << orvell_blocks::kFieldNames[i];
    }
    const std::vector<std::string> track = orvell_test::Values(path, "TRACKNUMBER");
    int32_t track_number = OV_GetTrack(p);
    if (!track.empty()) {
      int32_t total = 0;
      orvell::ParseNumberPair(TagLib::String(track.front(), TagLib::String::UTF8), track_number,
                              total);
    }
    const int32_t numbers[9] = {OV_GetYear(p),       track_number,      OV_GetTrackTotal(p),
                                OV_GetDisc(p),       OV_GetDiscTotal(p), OV_GetDuration(p),
                                OV_GetBitrate(p),    OV_GetSampleRate(p), OV_GetChannels(p)};
    for (size_t i = 0; i < 9; ++i) {
      EXPECT_EQ(fields[8 + i], std::to_string(numbers[i])) << orvell_blocks::kFieldNames[8 + i];
    }
    EXPECT_EQ(orvell_test::ReadBytes(path), before) << "reading changed the file";
  }
  TempDir dir_;
};

TEST_P(ReadTagsConsistency, AgreesWithTheGettersOnTheFixture) {
  ExpectAgreement(dir_.Copy(GetParam()));
}

TEST_P(ReadTagsConsistency, AgreesWithTheGettersOnAFullTag) {
  const std::string path = dir_.Copy(GetParam());
  ASSERT_TRUE(orvell_test::SetEachField(
      path, {{"Title: Café 12:30", "Artist 東京", "Album Artist", "Album: 4:four", "Jazz",
              "A comment ☕", "Composer", "Conductor"},
             {1999, 4, 9, 2, 3}}));
  ExpectAgreement(path);
  // Whatever the format kept, the title at least is there.
  EXPECT_EQ(FieldsOf(path)[orvell_blocks::kTitle], "Title: Café 12:30");
}

// Several values of a generic text field read joined by " / ", whatever
// TagLib joined them with (" " on the 1.x line, " / " on the 2.x line,
// ", " for MP4 on both) and whatever separators the values hold. ID3v2
// tags (MP3, WAV, AIFF) are left out for the comment: TagLib stores each
// comment value in a frame of its own, and the generic comment is one
// frame's text.
TEST_P(ReadTagsConsistency, AgreesWithTheGettersOnSeveralValues) {
  namespace ob = orvell_blocks;
  const std::string path = dir_.Copy(GetParam());
  const std::string suffix = Suffix(GetParam());
  const bool id3v2 = suffix == "mp3" || suffix == "wav" || suffix == "aiff";
  // WMA keeps one text for its title, artist and comment (TagLib joins
  // several values into it when it writes them); its album and genre keep
  // values one by one.
  std::vector<size_t> joined = {ob::kAlbum, ob::kGenre};
  if (suffix != "wma") joined.insert(joined.end(), {ob::kTitle, ob::kArtist});
  if (!id3v2 && suffix != "wma") joined.push_back(ob::kComment);
  const char* const keys[] = {"TITLE", "ARTIST", "", "ALBUM", "GENRE", "COMMENT"};
  for (size_t field : joined) SetValues(path, keys[field], {"Blue in Green", "Solar, Live"});
  ExpectAgreement(path);
  const ReadFields fields = FieldsOf(path);
  for (size_t field : joined) {
    // WMA may give a name's second value back first; every other format
    // keeps the order.
    const std::vector<std::string> values = orvell_test::Values(path, keys[field]);
    ASSERT_EQ(values.size(), 2u) << ob::kFieldNames[field];
    EXPECT_EQ(fields[field], values[0] + " / " + values[1]) << ob::kFieldNames[field];
    if (suffix != "wma") {
      EXPECT_EQ(fields[field], "Blue in Green / Solar, Live");
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ReadTagsConsistency,
                         ::testing::ValuesIn(orvell_test::AudioFixtures()),
                         [](const auto& p) { return Suffix(p.param); });

}  // namespace
