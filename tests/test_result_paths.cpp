// Every export driven down every one of its result paths in one place:
// success on a real file and on the fake file, each failure code of its
// family, and the fake file's paths through TagLib's resolver hook (no
// tag, no audio properties, a failed save, TagLib throwing). Each path is
// checked for its code here; the sanitizer build runs this suite under
// LeakSanitizer and CI also runs it under valgrind, so a TagLib object left
// behind on any of these paths fails the build.
#include <functional>
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

// The 1.1 calls, each down its documented paths, and the reason
// OV_LastError gives for each failure (none after a success).
TEST(ResultPathsByShape, Orvell11CallsGiveTheirCodesAndTheirReasons) {
  TempDir dir;
  const std::string real = dir.Copy("silence.flac");
  const std::string mp4 = dir.Copy("silence.m4a");
  const std::string missing = dir.File("missing.flac");
  const std::string png = std::string("\x89PNG\r\n\x1a\n", 8) + "pixels";
  char small[4];
  std::vector<char> big(4096);
  const auto read_properties = [&](const std::string& p, char* b, int32_t n) {
    return OV_ReadProperties(p.c_str(), b, n);
  };
  struct Row {
    const char* what;
    std::function<int32_t()> call;
    int32_t result;
    const char* reason;  // a part of it; "" for none
  };
  const Row rows[] = {
      {"props, NULL path", [&] { return OV_ReadProperties(nullptr, big.data(), 9); }, -1, "path"},
      {"props, NULL with a size", [&] { return read_properties(real, nullptr, 9); }, -2, "buffer"},
      {"props, size below 0", [&] { return read_properties(real, big.data(), -1); }, -2, "buffer"},
      {"props, no such file", [&] { return read_properties(missing, big.data(), 9); }, -3, "no such file"},
      {"props, the size asked", [&] { return read_properties(real, nullptr, 0); }, 1, ""},
      {"props, too small", [&] { return OV_WriteProperties(real.c_str(), "3:KEY1:15:value") == 1
                                         ? read_properties(real, small, sizeof small) : 0; },
       -5, "too small"},
      {"write, NULL block", [&] { return OV_WriteProperties(real.c_str(), nullptr); }, -2, "block"},
      {"write, nothing named", [&] { return OV_WriteProperties(missing.c_str(), ""); }, 0, ""},
      {"write, a count that is none", [&] { return OV_WriteProperties(real.c_str(), "3:KEY1:x"); }, -5,
       "entry 0"},
      {"write, a key named twice", [&] { return OV_WriteProperties(real.c_str(), "1:A1:01:a1:0"); }, -5,
       "entry 1"},
      {"write, a key with '='", [&] { return OV_WriteProperties(real.c_str(), "3:A=B1:0"); }, -6, "key"},
      {"pictures, the size asked", [&] { return OV_ReadPictures(real.c_str(), nullptr, 0); }, 1, ""},
      {"picture, index below 0", [&] { return OV_GetPicture(real.c_str(), -1, big.data(), 9); }, -2,
       "index"},
      {"picture, none there", [&] { return OV_GetPicture(real.c_str(), 0, big.data(), 9); }, -6,
       "0 pictures"},
      {"set, type 21", [&] { return OV_SetPicture(real.c_str(), 21, nullptr, "", png.data(), 14); },
       -2, "type"},
      {"set, no data", [&] { return OV_SetPicture(real.c_str(), 3, nullptr, "", nullptr, 14); }, -2,
       "picture"},
      {"set, bytes of no image", [&] { return OV_SetPicture(real.c_str(), 3, nullptr, "", "text", 4); },
       -2, "MIME"},
      {"set, a back cover on MP4", [&] { return OV_SetPicture(mp4.c_str(), 4, nullptr, "", png.data(), 14); },
       -6, "front covers"},
      {"set, a front cover on MP4", [&] { return OV_SetPicture(mp4.c_str(), 3, nullptr, nullptr, png.data(), 14); },
       1, ""},
      {"remove, type -2", [&] { return OV_RemovePictures(real.c_str(), -2); }, -2, "type"},
      {"remove, none there", [&] { return OV_RemovePictures(real.c_str(), 4); }, 0, ""},
      {"a save refused", [&] { return OV_WriteProperties(mp4.c_str(), "11:TRACKNUMBER1:15:99999"); },
       -8, "save refused"},
  };
  for (const Row& row : rows) {
    const int32_t result = row.call();
    if (row.result == 1 && result > 1) {
      EXPECT_GT(result, 0) << row.what;  // a size asked
    } else {
      EXPECT_EQ(result, row.result) << row.what;
    }
    char reason[256] = "unset";
    ASSERT_GE(OV_LastError(reason, sizeof reason), 0);
    EXPECT_NE(std::string(reason).find(row.reason), std::string::npos) << row.what << ": " << reason;
    if (row.reason[0] == '\0') {
      EXPECT_STREQ(reason, "") << row.what;
    }
  }
  EXPECT_EQ(OV_LastError(nullptr, 10), -2);
}

}  // namespace
