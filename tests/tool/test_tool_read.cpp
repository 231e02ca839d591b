// orvell read, run as a user runs it: its JSON parsed back and compared with
// OV_ReadTags, TagLib's property map and OV_ReadPictures, its listing, and
// how it reports files it cannot read.
#include <sys/stat.h>

#include <iterator>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "orvell.h"
#include "run_tool.h"
#include "support/temp_files.h"
#include "tool_support.h"

namespace {

using nlohmann::ordered_json;
using orvell_test::LibraryFields;
using orvell_test::Lines;
using orvell_test::RunTool;
using orvell_test::TempDir;

class ReadEveryFormat : public ::testing::TestWithParam<std::string> {};

TEST_P(ReadEveryFormat, JsonIsWhatOvReadTagsReads) {
  TempDir dir;
  const std::string untagged = dir.Copy(GetParam(), "untagged-" + GetParam());
  const std::string tagged = dir.Copy(GetParam());
  orvell_test::SetFields(tagged, orvell_test::RichValues());
  // Several values of a key, and a front cover.
  ASSERT_EQ(OV_WriteProperties(tagged.c_str(), "4:MOOD1:24:calm10:late night"), 1);
  const std::string cover = orvell_test::PngImage(3000);
  ASSERT_EQ(OV_SetPicture(tagged.c_str(), 3, nullptr, nullptr, cover.data(), 3000), 1);

  const orvell_test::ToolRun run = RunTool({"read", "--json", tagged, untagged});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2u) << run.out;
  const ordered_json record = ordered_json::parse(lines[0]);
  orvell_test::ExpectJsonRecord(record, tagged, LibraryFields(tagged), true);
  orvell_test::ExpectJsonRecord(ordered_json::parse(lines[1]), untagged, LibraryFields(untagged), true);
  EXPECT_EQ(record["properties"]["MOOD"], ordered_json({"calm", "late night"}));
  EXPECT_EQ(record["pictures"], ordered_json::parse(R"([{"type":3,"mime":"image/png","description":"","size":3000}])"));
}

ORVELL_TOOL_EVERY_FORMAT(ReadEveryFormat);

TEST(Read, ListingShowsEveryFieldWithItsValueInOneColumn) {
  TempDir dir;
  const std::string path = dir.Copy("silence.flac");
  orvell_test::WriteValues values = orvell_test::RichValues();
  values[orvell_blocks::kComment] = "two\nlines";
  orvell_test::SetFields(path, values);
  orvell_blocks::ReadFields fields = LibraryFields(path);

  const orvell_test::ToolRun run = RunTool({"read", path});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 1 + orvell_blocks::kReadFields + 1) << run.out;
  // The second line of the comment stays in the value column.
  const size_t second = 2 + orvell_blocks::kComment;
  EXPECT_EQ(lines[second], std::string(lines[1].find(fields[0]), ' ') + "lines");
  lines.erase(lines.begin() + second);
  fields[orvell_blocks::kComment] = "two";
  EXPECT_EQ(lines[0], path);
  const size_t column = lines[1].find(fields[0]);
  ASSERT_NE(column, std::string::npos) << lines[1];
  const char* const units[] = {" s", " kb/s", " Hz", ""};
  for (size_t i = 0; i < orvell_blocks::kReadFields; ++i) {
    std::string label = orvell_blocks::kFieldNames[i];
    for (char& c : label) c = c == '_' ? ' ' : c;
    const std::string unit = i >= orvell_blocks::kDuration ? units[i - orvell_blocks::kDuration] : "";
    const std::string& line = lines[1 + i];
    EXPECT_EQ(line.substr(0, 2 + label.size()), "  " + label) << line;
    EXPECT_EQ(line.substr(column), fields[i] + unit) << line;
  }
}

TEST(Read, AllListsTheFormatEveryPropertyAndEachPictureAfterTheFields) {
  TempDir dir;
  const std::string path = dir.Copy("silence.mp3");
  ASSERT_EQ(OV_WriteProperties(path.c_str(), "4:MOOD1:24:calm13:late\nat night"), 1);
  const std::string cover = orvell_test::PngImage(4321);
  ASSERT_EQ(OV_SetPicture(path.c_str(), 4, nullptr, "Sleeve", cover.data(), 4321), 1);
  const orvell_test::ToolRun run = RunTool({"read", "--all", path});
  ASSERT_EQ(run.status, 0) << run.err;
  std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 1 + orvell_blocks::kReadFields + 6) << run.out;
  lines.erase(lines.begin(), lines.begin() + 1 + orvell_blocks::kReadFields);
  // A value's further lines, and a key's further values, stay in the
  // value column.
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "  format        MP3",
                       "  properties    MOOD=calm",
                       "                MOOD=late",
                       "                at night",
                       "                TITLE=Silence",
                       "  pictures      back cover, image/png, 4321 bytes, \"Sleeve\""}));
}

TEST(Read, ListingsOfSeveralFilesAreSeparatedByABlankLine) {
  TempDir dir;
  const std::string first = dir.Copy("silence.mp3");
  const std::string second = dir.Copy("silence.ogg");
  const orvell_test::ToolRun run = RunTool({"read", first, second});
  ASSERT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 2 * (1 + orvell_blocks::kReadFields) + 1) << run.out;
  EXPECT_EQ(lines[0], first);
  EXPECT_EQ(lines[1], "  title         Silence");
  // Numbers the file does not hold show no value, not 0.
  for (size_t i = orvell_blocks::kYear; i <= orvell_blocks::kDiscTotal; ++i) {
    std::string label = orvell_blocks::kFieldNames[i];
    for (char& c : label) c = c == '_' ? ' ' : c;
    EXPECT_EQ(lines[1 + i], "  " + label);
  }
  EXPECT_EQ(lines[1 + orvell_blocks::kReadFields], "");
  EXPECT_EQ(lines[2 + orvell_blocks::kReadFields], second);
}

TEST(Read, TagsLargerThanMostAreReadWhole) {
  TempDir dir;
  // 100 KB fits the first buffer; 1.5 MB of two-byte characters does not.
  for (const std::string fixture : {"silence.flac", "silence.mp3"}) {
    for (const size_t characters : {50'000u, 750'000u}) {
      std::string comment;
      for (size_t i = 0; i < characters; ++i) comment += "\xc3\xa9";
      const std::string path = dir.Copy(fixture);
      orvell_test::WriteValues values = orvell_test::RichValues();
      values[orvell_blocks::kComment] = comment;
      orvell_test::SetFields(path, values);

      const orvell_test::ToolRun run = RunTool({"read", "--json", path});
      ASSERT_EQ(run.status, 0) << run.err;
      const ordered_json record = ordered_json::parse(run.out);
      for (size_t i = 0; i < orvell_blocks::kYear; ++i) {
        EXPECT_EQ(record[orvell_blocks::kFieldNames[i]], values[i]) << fixture << ", " << characters;
      }
      EXPECT_GT(record["sample_rate"], 0);
    }
  }
}

TEST(Read, EachFileThatCannotBeReadIsNamedWithItsCauseAndTheRestAreStillRead) {
  TempDir dir;
  const std::string good = dir.Copy("silence.wv");
  const std::string text = dir.Copy("notaudio.flac");
  const std::string missing = dir.File("missing.mp3");
  const std::string fifo = dir.File("pipe.flac");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string unreadable = dir.Copy("silence.ogg");
  ASSERT_EQ(chmod(unreadable.c_str(), 0), 0);
  const std::string closed = dir.File("closed");
  ASSERT_EQ(mkdir(closed.c_str(), 0700), 0);
  const std::string inside = dir.Copy("silence.opus", "closed/inside.opus");
  ASSERT_EQ(chmod(closed.c_str(), 0), 0);

  orvell_test::RunOptions options;
  options.timeout_seconds = 20;
  options.file_permissions = true;
  const orvell_test::ToolRun run = RunTool(
      {"read", "--json", text, good, missing, fifo, dir.path(), unreadable, inside, good}, options);
  chmod(closed.c_str(), 0700);
  if (run.permissions_unavailable) GTEST_SKIP() << "file permissions cannot be made to hold for root";
  ASSERT_FALSE(run.timed_out) << "a FIFO was opened";
  EXPECT_EQ(run.status, 1);
  // Each file that fails gets a record with its error, in its place; the
  // library's code where it was called.
  const struct {
    std::string path;
    std::string cause;
    int code;
  } failing[] = {
      // The library's own reason, where it was called.
      {text, "not an audio file TagLib reads", -3},
      {missing, "no such file", 0},
      {fifo, "not a regular file (FIFO, socket or device): not opened", 0},
      {dir.path(), "is a directory (orvell scan reads directories)", 0},
      {unreadable, "permission denied", -3},
      {inside, "permission denied", 0},
  };
  const std::vector<std::string> out = Lines(run.out);
  ASSERT_EQ(out.size(), 2 + std::size(failing)) << run.out;
  std::vector<std::string> err;
  for (size_t i = 0; i < std::size(failing); ++i) {
    ordered_json expected = {{"path", failing[i].path}, {"error", failing[i].cause}};
    if (failing[i].code != 0) expected["code"] = failing[i].code;
    EXPECT_EQ(ordered_json::parse(out[i < 1 ? i : i + 1]), expected);
    err.push_back("orvell: " + failing[i].path + ": " + failing[i].cause);
  }
  orvell_test::ExpectJsonRecord(ordered_json::parse(out[1]), good, LibraryFields(good), true);
  EXPECT_EQ(out.back(), out[1]);
  EXPECT_EQ(Lines(run.err), err);
}

}  // namespace
