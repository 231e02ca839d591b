// Audio properties against what the fixtures were made with, the rounding
// of the duration, and album artist, composer and conductor through the
// property map, with OV_SetArtistSync, on every fixture format.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <taglib/aifffile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mp4tag.h>
#include <taglib/mpegfile.h>
#include <taglib/wavfile.h>

#include "api/frame.h"
#include "orvell.h"
#include "support/fake_file.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"

namespace {

using orvell_test::AudioFixtures;
using orvell_test::ReadTag;
using orvell_test::SetValues;
using orvell_test::TempDir;
using orvell_test::Values;
using Texts = std::vector<std::string>;

std::string Suffix(const std::string& fixture) { return fixture.substr(fixture.find('.') + 1); }

// --- Audio properties ----------------------------------------------------

// What tests/data/make_fixtures.sh made each file with. Bitrates:
// - PCM is exact: 8000 Hz x 8 bits x 1 channel is 64 kb/s.
// - The MP3 is CBR 32 kb/s; TagLib averages the stream size over its
//   length, LAME's info frame included, and reports 33.
// - Lossless and VBR codecs compress silence to almost nothing, so only
//   bounds are sound: at least 1 (TagLib measured a stream), at most the
//   whole file over one second (no fixture is shorter, and the stream
//   cannot be larger than the file), and at most the target the encoder
//   was given (Opus 16k, AAC 24k).
struct AudioRow {
  const char* fixture;
  int32_t sample_rate;
  int32_t channels;
  int32_t min_bitrate;
  int32_t max_bitrate;  // 0: only the file-size bound
  int32_t seconds;
};

const AudioRow kAudioRows[] = {
    {"silence.mp3", 22050, 1, 31, 34, 1},  {"silence.flac", 44100, 2, 1, 0, 1},
    {"silence.ogg", 22050, 1, 1, 0, 1},    {"silence.opus", 48000, 2, 1, 16, 1},
    {"silence.m4a", 22050, 2, 1, 24, 1},   {"silence.wav", 8000, 1, 64, 64, 1},
    {"silence.aiff", 8000, 1, 64, 64, 1},  {"silence.wv", 44100, 2, 1, 0, 1},
    // 11992 and 12000 samples at 8000 Hz: 1499 ms and 1500 ms.
    {"len1499ms.wav", 8000, 1, 64, 64, 1}, {"len1500ms.wav", 8000, 1, 64, 64, 2},
};

void PrintTo(const AudioRow& row, std::ostream* os) { *os << row.fixture; }

class AudioProperties : public ::testing::TestWithParam<AudioRow> {};

TEST_P(AudioProperties, MatchWhatTheFixtureWasMadeWith) {
  const AudioRow& row = GetParam();
  TempDir dir;
  const std::string path = dir.Copy(row.fixture);
  const std::string bytes = orvell_test::ReadBytes(path);
  EXPECT_EQ(OV_GetSampleRate(path.c_str()), row.sample_rate);
  EXPECT_EQ(OV_GetChannels(path.c_str()), row.channels);
  EXPECT_EQ(OV_GetDuration(path.c_str()), row.seconds);
  const int32_t bitrate = OV_GetBitrate(path.c_str());
  const auto file_bound = static_cast<int32_t>((bytes.size() * 8 + 999) / 1000);
  EXPECT_GE(bitrate, row.min_bitrate);
  EXPECT_LE(bitrate, file_bound);
  if (row.max_bitrate != 0) {
    EXPECT_LE(bitrate, row.max_bitrate);
  }
  EXPECT_EQ(orvell_test::ReadBytes(path), bytes) << "an audio getter changed the file";
}

INSTANTIATE_TEST_SUITE_P(Fixtures, AudioProperties, ::testing::ValuesIn(kAudioRows),
                         [](const auto& p) {
                           std::string name = p.param.fixture;
                           for (char& c : name) {
                             if (c == '.') c = '_';
                           }
                           return name;
                         });

TEST(AudioProperties, ReportedWithATagAsWithout) {
  // Tags change the file around the audio, never the measurement.
  TempDir dir;
  const std::string path = dir.Copy("silence.flac");
  ASSERT_EQ(OV_SetComposer(path.c_str(), std::string(5000, 'c').c_str()), 1);
  EXPECT_EQ(OV_GetSampleRate(path.c_str()), 44100);
  EXPECT_EQ(OV_GetChannels(path.c_str()), 2);
  EXPECT_EQ(OV_GetDuration(path.c_str()), 1);
}

struct RoundCase {
  int32_t milliseconds;
  int32_t seconds;
};

void PrintTo(const RoundCase& c, std::ostream* os) { *os << c.milliseconds << " ms"; }

class RoundedSecondsTable : public ::testing::TestWithParam<RoundCase> {};

TEST_P(RoundedSecondsTable, RoundsHalvesUpAndTruncatesTowardZero) {
  EXPECT_EQ(orvell::RoundedSeconds(GetParam().milliseconds), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, RoundedSecondsTable,
    ::testing::Values(
        RoundCase{0, 0}, RoundCase{499, 0}, RoundCase{500, 1}, RoundCase{1499, 1},
        RoundCase{1500, 2}, RoundCase{3599999, 3600}, RoundCase{3600499, 3600},
        RoundCase{3600500, 3601},
        // Near the top: (ms + 500) no longer fits 32 bits from 2147483148.
        RoundCase{2147483147, 2147483}, RoundCase{2147483148, 2147483},
        RoundCase{2147483499, 2147483}, RoundCase{2147483500, 2147484},
        RoundCase{2147483646, 2147484}, RoundCase{INT32_MAX, 2147484},
        // Negative lengths truncate toward zero, as the 32-bit form did.
        RoundCase{-1, 0}, RoundCase{-500, 0}, RoundCase{-501, 0}, RoundCase{-1499, 0},
        RoundCase{-1500, -1}, RoundCase{-1501, -1}, RoundCase{-2500, -2},
        RoundCase{INT32_MIN, -2147483}));

// --- Extended text fields ------------------------------------------------

struct TextField {
  const char* key;
  int32_t (*get)(const char*, char*, int32_t);
  int32_t (*set)(const char*, const char*);
};

const TextField kFields[] = {
    {"ALBUMARTIST", OV_GetAlbumArtist, OV_SetAlbumArtist},
    {"COMPOSER", OV_GetComposer, OV_SetComposer},
    {"CONDUCTOR", OV_GetConductor, OV_SetConductor},
};

// The field through the export; "<code>" when it failed.
std::string Get(const TextField& field, const std::string& path) {
  char buffer[256] = "stale";
  const int32_t n = field.get(path.c_str(), buffer, sizeof buffer);
  if (n < 0) return "<" + std::to_string(n) + ">";
  EXPECT_EQ(static_cast<size_t>(n), std::string(buffer).size());
  return std::string(buffer);
}

std::string ValueFor(const TextField& field) { return std::string(field.key) + ": Ærø, 東京 ☕"; }

class ExtendedText : public ::testing::TestWithParam<std::string> {
 protected:
  std::string Copy() { return dir_.Copy(GetParam()); }
  TempDir dir_;
};

// Every fixture format keeps all three keys on TagLib 1.13 and 2.0: WAV and
// AIFF through their ID3v2 tag, M4A with a free-form atom for CONDUCTOR.
TEST_P(ExtendedText, EveryFieldRoundTripsNonAsciiText) {
  const std::string path = Copy();
  for (const TextField& field : kFields) {
    EXPECT_EQ(Get(field, path), "") << field.key << " absent";
  }
  for (const TextField& field : kFields) {
    ASSERT_EQ(field.set(path.c_str(), ValueFor(field).c_str()), 1) << field.key;
  }
  for (const TextField& field : kFields) {
    EXPECT_EQ(Get(field, path), ValueFor(field));
    EXPECT_EQ(Values(path, field.key), Texts{ValueFor(field)}) << "as TagLib reads it";
  }
}

TEST_P(ExtendedText, SettersLeaveEveryOtherPropertyAsItWas) {
  const std::string path = Copy();
  SetValues(path, "TITLE", {"Titel ü"});
  SetValues(path, "TRACKNUMBER", {"3/12"});
  for (const TextField& field : kFields) SetValues(path, field.key, {"before"});
  for (const TextField& field : kFields) {
    const auto others = orvell_test::PropertiesExcept(path, field.key);
    ASSERT_EQ(field.set(path.c_str(), "after"), 1);
    EXPECT_EQ(orvell_test::PropertiesExcept(path, field.key), others) << field.key;
  }
}

TEST_P(ExtendedText, AComposerStoredTwiceReadsAsTheFirstAndIsSetToOne) {
  const std::string path = Copy();
  SetValues(path, "COMPOSER", {"Erste Ω", "Second"});
  const Texts stored = Values(path, "COMPOSER");
  ASSERT_EQ(stored.size(), 2u) << "set-up";
  // ASF keeps a second value of a name apart from the first, and TagLib
  // reads it back first; every other format keeps the order.
  EXPECT_EQ(stored.front(), GetParam() == "silence.wma" ? "Second" : "Erste Ω");
  EXPECT_EQ(Get(kFields[1], path), stored.front());
  ASSERT_EQ(OV_SetComposer(path.c_str(), "Neu"), 1);
  EXPECT_EQ(Values(path, "COMPOSER"), Texts{"Neu"});
}

TEST_P(ExtendedText, AnEmptyTextRemovesTheField) {
  const std::string path = Copy();
  ASSERT_EQ(OV_SetConductor(path.c_str(), "Someone"), 1);
  SetValues(path, "ALBUMARTIST", {"One", "Two"});
  ASSERT_EQ(OV_SetConductor(path.c_str(), ""), 1);
  ASSERT_EQ(OV_SetAlbumArtist(path.c_str(), ""), 1);
  EXPECT_TRUE(Values(path, "CONDUCTOR").empty());
  EXPECT_TRUE(Values(path, "ALBUMARTIST").empty());
  char buffer[16] = "keepme";
  EXPECT_EQ(OV_GetConductor(path.c_str(), buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

TEST_P(ExtendedText, GettersCutAtTheBufferSize) {
  const std::string path = Copy();
  ASSERT_EQ(OV_SetAlbumArtist(path.c_str(), "ééé"), 1);
  char buffer[8];
  EXPECT_EQ(OV_GetAlbumArtist(path.c_str(), buffer, 4), 3);
  EXPECT_EQ(std::string(buffer), std::string("é") + "\xC3");
  EXPECT_EQ(OV_GetAlbumArtist(path.c_str(), buffer, 7), 6);
  EXPECT_STREQ(buffer, "ééé");
}

TEST_P(ExtendedText, ArtistSyncWithFlagZeroLeavesTheAlbumArtist) {
  const std::string path = Copy();
  SetValues(path, "ALBUMARTIST", {"Old Album Artist"});
  ASSERT_EQ(OV_SetArtistSync(path.c_str(), "Новый", 0), 1);
  EXPECT_EQ(ReadTag(path).artist, "Новый");
  EXPECT_EQ(Values(path, "ALBUMARTIST"), Texts{"Old Album Artist"});
}

TEST_P(ExtendedText, ArtistSyncWithAnyOtherFlagSetsBoth) {
  const std::string path = Copy();
  SetValues(path, "ALBUMARTIST", {"Old", "Older"});
  for (int32_t flag : {1, -1, 2, INT32_MIN}) {
    const std::string text = "Ünï " + std::to_string(flag);
    ASSERT_EQ(OV_SetArtistSync(path.c_str(), text.c_str(), flag), 1) << flag;
    EXPECT_EQ(ReadTag(path).artist, text);
    EXPECT_EQ(Values(path, "ALBUMARTIST"), Texts{text}) << flag;
  }
}

TEST_P(ExtendedText, ArtistSyncWithAnEmptyTextRemovesTheAlbumArtist) {
  const std::string path = Copy();
  ASSERT_EQ(OV_SetArtistSync(path.c_str(), "Someone", 1), 1);
  ASSERT_EQ(OV_SetArtistSync(path.c_str(), "", 1), 1);
  EXPECT_EQ(ReadTag(path).artist, "");
  EXPECT_TRUE(Values(path, "ALBUMARTIST").empty());
}

INSTANTIATE_TEST_SUITE_P(Formats, ExtendedText, ::testing::ValuesIn(AudioFixtures()),
                         [](const auto& p) { return Suffix(p.param); });

// What a reader of the format's own frames sees.
void ExpectId3v2Frames(const TagLib::ID3v2::Tag* tag) {
  ASSERT_NE(tag, nullptr);
  const struct {
    const char* frame;
    const TextField& field;
  } frames[] = {{"TPE2", kFields[0]}, {"TCOM", kFields[1]}, {"TPE3", kFields[2]}};
  for (const auto& f : frames) {
    const TagLib::ID3v2::FrameList& list = tag->frameList(f.frame);
    ASSERT_EQ(list.size(), 1u) << f.frame;
    EXPECT_EQ(list.front()->toString().to8Bit(true), ValueFor(f.field)) << f.frame;
  }
}

void SetAllFields(const std::string& path) {
  for (const TextField& field : kFields) {
    ASSERT_EQ(field.set(path.c_str(), ValueFor(field).c_str()), 1);
  }
}

TEST(ExtendedTextFrames, Id3v2KeepsThemInTpe2TcomAndTpe3) {
  TempDir dir;
  const std::string mp3 = dir.Copy("silence.mp3");
  const std::string wav = dir.Copy("silence.wav");
  const std::string aiff = dir.Copy("silence.aiff");
  for (const std::string& path : {mp3, wav, aiff}) SetAllFields(path);
  ExpectId3v2Frames(TagLib::MPEG::File(mp3.c_str()).ID3v2Tag());
  ExpectId3v2Frames(TagLib::RIFF::WAV::File(wav.c_str()).ID3v2Tag());
  ExpectId3v2Frames(TagLib::RIFF::AIFF::File(aiff.c_str()).tag());
}

TEST(ExtendedTextFrames, Mp4KeepsConductorInAFreeFormAtom) {
  TempDir dir;
  const std::string path = dir.Copy("silence.m4a");
  SetAllFields(path);
  TagLib::MP4::File file(path.c_str());
  ASSERT_NE(file.tag(), nullptr);
  const char* atoms[] = {"aART", "\251wrt", "----:com.apple.iTunes:CONDUCTOR"};
  for (size_t i = 0; i < 3; ++i) {
    const TagLib::String atom(atoms[i], TagLib::String::Latin1);
    ASSERT_TRUE(file.tag()->contains(atom)) << atoms[i];
    EXPECT_EQ(file.tag()->item(atom).toStringList().toString().to8Bit(true), ValueFor(kFields[i]));
  }
}

TEST(ArtistSync, WritesTheMapOnlyWithAFlagAndSavesOnce) {
  // The fake file counts setProperties() calls. The map is read after the
  // artist is set, so handing it back keeps the new artist.
  TempDir dir;
  const std::string path = orvell_test::MakeFakeFile(dir, "plain");
  orvell_test::ResetFake();
  ASSERT_EQ(OV_SetArtistSync(path.c_str(), "Zero", 0), 1);
  EXPECT_EQ(orvell_test::Fake().property_writes, 0);
  EXPECT_EQ(orvell_test::Fake().saves, 1);
  EXPECT_EQ(orvell_test::Fake().stored.artist, "Zero");
  orvell_test::ResetFake();
  ASSERT_EQ(OV_SetArtistSync(path.c_str(), "One", 1), 1);
  EXPECT_EQ(orvell_test::Fake().property_writes, 1);
  EXPECT_EQ(orvell_test::Fake().saves, 1);
  EXPECT_EQ(orvell_test::Fake().stored.artist, "One");
}

TEST(ExtendedTextBuffers, MapGettersClearWhereTagGettersLeaveTheBuffer) {
  // Files that exist but do not open: -3 from both kinds of getter.
  TempDir dir;
  for (const std::string& path : {dir.Copy("notaudio.flac"), dir.Copy("unknown.xyz")}) {
    for (const TextField& field : kFields) {
      char buffer[8] = "keepme";
      EXPECT_EQ(field.get(path.c_str(), buffer, sizeof buffer), -3) << field.key;
      EXPECT_STREQ(buffer, "");
    }
    char buffer[8] = "keepme";
    EXPECT_EQ(OV_GetArtist(path.c_str(), buffer, sizeof buffer), -3);
    EXPECT_STREQ(buffer, "keepme");
  }
}

}  // namespace
