// Every export driven down every one of its result paths in one place:
// success on a real file and on the fake file, each failure code of its
// family, and the fake file's paths through TagLib's resolver hook (no
// tag, no audio properties, a failed save, TagLib throwing). Each path is
// checked for its code here; the sanitizer build runs this suite under
// LeakSanitizer and CI also runs it under valgrind, so a TagLib object left
// behind on any of these paths fails the build.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvell.h"
#include "support/exports_table.h"
#include "support/fake_file.h"
#include "support/temp_files.h"

namespace {

using orvell_test::CallBad;
using orvell_test::CallGood;
using orvell_test::ExportCase;
using orvell_test::MakeFakeFile;
using orvell_test::Shape;
using orvell_test::TempDir;

bool IsAudioGetter(const ExportCase& e) {
  const std::string name = e.name;
  return name == "OV_GetDuration" || name == "OV_GetBitrate" || name == "OV_GetSampleRate" ||
         name == "OV_GetChannels";
}

// The result of a call that succeeds: a byte count or value for getters
// (checked >= 0), 1 for writers.
void ExpectSuccess(const ExportCase& e, int32_t result, const std::string& where) {
  if (e.writes) {
    EXPECT_EQ(result, 1) << where;
  } else {
    EXPECT_GE(result, 0) << where;
  }
}

class ResultPaths : public ::testing::TestWithParam<ExportCase> {
 protected:
  void SetUp() override { orvell_test::ResetFake(); }
  TempDir dir_;
};

TEST_P(ResultPaths, EveryPathGivesItsCode) {
  const ExportCase& e = GetParam();
  const std::string real = dir_.Copy("silence.ogg");

  EXPECT_EQ(CallGood(e, nullptr), -1);
  EXPECT_EQ(CallGood(e, ""), -1);
  if (e.shape != Shape::NumberGetter) {
    EXPECT_EQ(CallBad(e, real.c_str()), -2);
  }
  EXPECT_EQ(CallGood(e, dir_.File("missing.ogg").c_str()), e.not_opened);
  EXPECT_EQ(CallGood(e, dir_.Copy("notaudio.flac").c_str()), e.not_opened);
  EXPECT_EQ(CallGood(e, dir_.Copy("unknown.xyz").c_str()), e.not_opened);

  ExpectSuccess(e, CallGood(e, real.c_str()), "real file");
  ExpectSuccess(e, CallGood(e, MakeFakeFile(dir_, "plain").c_str()), "plain fake");
  EXPECT_EQ(CallGood(e, MakeFakeFile(dir_, "notag").c_str()), e.no_tag);
  // A file without audio properties is read as any other, and never
  // written.
  const int32_t no_audio = CallGood(e, MakeFakeFile(dir_, "noaudio").c_str());
  if (IsAudioGetter(e)) {
    EXPECT_EQ(no_audio, -3);
  } else if (e.writes) {
    EXPECT_EQ(no_audio, e.shape == Shape::BulkWrite ? -8 : -5);
  } else {
    ExpectSuccess(e, no_audio, "fake without audio properties");
  }
  const int32_t failed = CallGood(e, MakeFakeFile(dir_, "failsave").c_str());
  if (e.writes) {
    EXPECT_EQ(failed, e.shape == Shape::BulkWrite ? -8 : -5);
  } else {
    EXPECT_GE(failed, 0);
  }
  EXPECT_EQ(CallGood(e, MakeFakeFile(dir_, "throws").c_str()), -9);
}

INSTANTIATE_TEST_SUITE_P(All, ResultPaths, ::testing::ValuesIn(orvell_test::AllExports()),
                         [](const auto& p) { return orvell_test::ExportName(p.param); });

// The paths only some shapes have.
TEST(ResultPathsByShape, TextGettersCutOrReportAnEmptyField) {
  TempDir dir;
  const std::string path = dir.Copy("silence.mp3");  // title "Silence", no album artist
  char buffer[4];
  EXPECT_EQ(OV_GetTitle(path.c_str(), buffer, sizeof buffer), 3);
  EXPECT_EQ(OV_GetTitle(path.c_str(), buffer, 1), 0);
  EXPECT_EQ(OV_GetAlbum(path.c_str(), buffer, sizeof buffer), 0);
  EXPECT_EQ(OV_GetAlbumArtist(path.c_str(), buffer, sizeof buffer), 0);
  ASSERT_EQ(OV_SetComposer(path.c_str(), "Someone"), 1);
  EXPECT_EQ(OV_GetComposer(path.c_str(), buffer, sizeof buffer), 3);
}

TEST(ResultPathsByShape, ReadTagsRefusesABufferTooSmall) {
  TempDir dir;
  const std::string path = dir.Copy("silence.wav");
  char buffer[64];
  const int32_t length = OV_ReadTags(path.c_str(), buffer, sizeof buffer);
  ASSERT_GE(length, 43);
  EXPECT_EQ(OV_ReadTags(path.c_str(), buffer, length), -5);
  EXPECT_EQ(OV_ReadTags(path.c_str(), buffer, length + 1), length);
  for (const char* fake : {"plain", "failsave", "noaudio"}) {
    const std::string fake_path = MakeFakeFile(dir, fake);
    EXPECT_EQ(OV_ReadTags(fake_path.c_str(), buffer, 10), -5) << fake;
  }
}

TEST(ResultPathsByShape, WriteTagsBlockCodes) {
  TempDir dir;
  const std::string real = dir.Copy("silence.flac");
  const std::string fake = MakeFakeFile(dir, "plain");
  const std::string keep = "1:01:01:01:01:01:01:01:01:01:01:01:01:0";
  struct Case {
    std::string block;
    int32_t result;
  };
  const std::vector<Case> cases = {
      {keep, 0},
      {"1:0", -5},                                     // too few records
      {"1:3" + keep.substr(3), -6},                    // bad action
      {keep.substr(0, 24) + "2:1x" + keep.substr(27), -7},  // year not a number
      {"2:1x" + keep.substr(3), 1},
  };
  for (const Case& c : cases) {
    for (const std::string& path : {real, fake, dir.File("missing.flac")}) {
      const int32_t expected = c.result == 1 && path == dir.File("missing.flac") ? -3 : c.result;
      EXPECT_EQ(OV_WriteTags(path.c_str(), c.block.c_str(), static_cast<int32_t>(c.block.size() + 1)),
                expected)
          << c.block << " on " << path;
    }
  }
  // The NUL outside the size given.
  EXPECT_EQ(OV_WriteTags(real.c_str(), keep.c_str(), static_cast<int32_t>(keep.size())), -5);
}

}  // namespace
