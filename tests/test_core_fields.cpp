// Title, artist, album, genre, comment, year and track on real files of
// every fixture format, checked through the exports and through TagLib.
#include <string>

#include <gtest/gtest.h>

#include "orvell.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"

namespace {

using orvell_test::AudioFixtures;
using orvell_test::ReadTag;
using orvell_test::TempDir;

struct TextField {
  const char* name;
  int32_t (*get)(const char*, char*, int32_t);
  int32_t (*set)(const char*, const char*);
  std::string orvell_test::DirectTag::*direct;
};

const TextField kTextFields[] = {
    {"title", OV_GetTitle, OV_SetTitle, &orvell_test::DirectTag::title},
    {"artist", OV_GetArtist, OV_SetArtist, &orvell_test::DirectTag::artist},
    {"album", OV_GetAlbum, OV_SetAlbum, &orvell_test::DirectTag::album},
    {"genre", OV_GetGenre, OV_SetGenre, &orvell_test::DirectTag::genre},
    {"comment", OV_GetComment, OV_SetComment, &orvell_test::DirectTag::comment},
};

std::string Get(const TextField& field, const std::string& path) {
  char buffer[512];
  const int32_t n = field.get(path.c_str(), buffer, sizeof buffer);
  EXPECT_GE(n, 0) << field.name << " on " << path;
  return n >= 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

std::string Suffix(const std::string& fixture) { return fixture.substr(fixture.find('.') + 1); }

class CoreFields : public ::testing::TestWithParam<std::string> {
 protected:
  std::string Copy() { return dir_.Copy(GetParam()); }
  TempDir dir_;
};

TEST_P(CoreFields, EveryTextFieldRoundTripsNonAsciiText) {
  const std::string path = Copy();
  // Each field gets its own value, so a field written into another's slot
  // shows up.
  for (const TextField& field : kTextFields) {
    const std::string value = std::string(field.name) + ": Café, Ærø, 東京, ☕";
    ASSERT_EQ(field.set(path.c_str(), value.c_str()), 1) << field.name;
  }
  const orvell_test::DirectTag direct = ReadTag(path);
  for (const TextField& field : kTextFields) {
    const std::string value = std::string(field.name) + ": Café, Ærø, 東京, ☕";
    EXPECT_EQ(Get(field, path), value);
    EXPECT_EQ(direct.*field.direct, value) << field.name << " as TagLib reads it";
  }
}

TEST_P(CoreFields, AnEmptyTextEmptiesTheField) {
  const std::string path = Copy();
  for (const TextField& field : kTextFields) {
    ASSERT_EQ(field.set(path.c_str(), "something"), 1);
    ASSERT_EQ(field.set(path.c_str(), ""), 1) << field.name;
    char buffer[16] = "keepme";
    EXPECT_EQ(field.get(path.c_str(), buffer, sizeof buffer), 0) << field.name;
    EXPECT_STREQ(buffer, "");
  }
}

TEST_P(CoreFields, YearRoundTripsAndZeroRemovesIt) {
  const std::string path = Copy();
  EXPECT_EQ(OV_GetYear(path.c_str()), 0);
  ASSERT_EQ(OV_SetYear(path.c_str(), 2024), 1);
  EXPECT_EQ(OV_GetYear(path.c_str()), 2024);
  EXPECT_EQ(ReadTag(path).year, 2024u);
  ASSERT_EQ(OV_SetYear(path.c_str(), 0), 1);
  EXPECT_EQ(OV_GetYear(path.c_str()), 0);
}

TEST_P(CoreFields, NegativeYearIsRefusedWithoutTouchingTheFile) {
  const std::string path = Copy();
  ASSERT_EQ(OV_SetYear(path.c_str(), 1999), 1);
  const std::string before = orvell_test::ReadBytes(path);
  EXPECT_EQ(OV_SetYear(path.c_str(), -1), -2);
  EXPECT_EQ(orvell_test::ReadBytes(path), before);
  EXPECT_EQ(OV_GetYear(path.c_str()), 1999);
}

TEST_P(CoreFields, TrackIsTheTagsTrackNumber) {
  const std::string path = Copy();
  EXPECT_EQ(OV_GetTrack(path.c_str()), 0);
  orvell_test::Edit(path, [](TagLib::FileRef& ref) { ref.tag()->setTrack(7); });
  EXPECT_EQ(OV_GetTrack(path.c_str()), 7);
}

TEST_P(CoreFields, GettersCutLongTextAtTheBufferSize) {
  const std::string path = Copy();
  ASSERT_EQ(OV_SetTitle(path.c_str(), "abc"), 1);
  char buffer[8];
  EXPECT_EQ(OV_GetTitle(path.c_str(), buffer, 1), 0);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(OV_GetTitle(path.c_str(), buffer, 3), 2);
  EXPECT_STREQ(buffer, "ab");
  EXPECT_EQ(OV_GetTitle(path.c_str(), buffer, 4), 3);
  EXPECT_STREQ(buffer, "abc");
  // Eight bytes of two-byte characters into six: the cut falls inside the
  // third character and the count is odd.
  ASSERT_EQ(OV_SetTitle(path.c_str(), "éééé"), 1);
  EXPECT_EQ(OV_GetTitle(path.c_str(), buffer, 6), 5);
  EXPECT_EQ(std::string(buffer), std::string("éé") + "\xC3");
}

TEST_P(CoreFields, SettersLeaveTheAudioPropertiesAsTheyWere) {
  const std::string path = Copy();
  const int32_t rate = OV_GetSampleRate(path.c_str());
  const int32_t channels = OV_GetChannels(path.c_str());
  ASSERT_EQ(OV_SetComment(path.c_str(), std::string(3000, 'c').c_str()), 1);
  ASSERT_EQ(OV_SetYear(path.c_str(), 1970), 1);
  EXPECT_EQ(OV_GetSampleRate(path.c_str()), rate);
  EXPECT_EQ(OV_GetChannels(path.c_str()), channels);
  EXPECT_EQ(Get(kTextFields[4], path).size(), 512u - 1) << "comment cut at the buffer";
}

INSTANTIATE_TEST_SUITE_P(Formats, CoreFields, ::testing::ValuesIn(AudioFixtures()),
                         [](const auto& p) { return Suffix(p.param); });

TEST(CoreFieldsMp3, KeepsTheTitleOfTheFixturesId3v2Tag) {
  TempDir dir;
  const std::string path = dir.Copy("silence.mp3");
  char buffer[32];
  EXPECT_EQ(OV_GetTitle(path.c_str(), buffer, sizeof buffer), 7);
  EXPECT_STREQ(buffer, "Silence");
  ASSERT_EQ(OV_SetArtist(path.c_str(), "Orvell"), 1);
  EXPECT_EQ(ReadTag(path).title, "Silence");
  EXPECT_EQ(ReadTag(path).artist, "Orvell");
}

}  // namespace
