// orvell write, run as a user runs it: write then read round trips on every
// format, --clear, and failures that leave the file as it was.
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "run_tool.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"
#include "tool_support.h"

namespace {

using orvell_blocks::ReadFields;
using orvell_test::LibraryFields;
using orvell_test::RunTool;
using orvell_test::TempDir;

// Runs orvell write and expects it to succeed silently.
void Write(const std::string& path, std::vector<std::string> args) {
  args.insert(args.begin(), {"write", path});
  const orvell_test::ToolRun run = RunTool(args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out + run.err, "");
}

// The fields as orvell read --json reports them.
nlohmann::ordered_json ReadJson(const std::string& path) {
  const orvell_test::ToolRun run = RunTool({"read", "--json", path});
  EXPECT_EQ(run.status, 0) << run.err;
  return nlohmann::ordered_json::parse(run.out);
}

class WriteEveryFormat : public ::testing::TestWithParam<std::string> {};

TEST_P(WriteEveryFormat, EveryFieldSetByWriteIsReadBack) {
  TempDir dir;
  const std::string path = dir.Copy(GetParam());
  const orvell_test::WriteValues& values = orvell_test::RichValues();
  Write(path, orvell_test::WriteArgs(values));

  const nlohmann::ordered_json record = ReadJson(path);
  const ReadFields fields = LibraryFields(path);
  orvell_test::ExpectJsonRecord(record, path, fields);
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(fields[i], values[i]) << orvell_blocks::kFieldNames[i];
  }
  // Another reader sees the generic fields too.
  const orvell_test::DirectTag direct = orvell_test::ReadTag(path);
  EXPECT_EQ(direct.title, values[orvell_blocks::kTitle]);
  EXPECT_EQ(direct.artist, values[orvell_blocks::kArtist]);
  EXPECT_EQ(direct.year, 1959u);
}

ORVELL_TOOL_EVERY_FORMAT(WriteEveryFormat);

TEST(Write, ClearEmptiesOnlyTheNamedFields) {
  TempDir dir;
  const std::string path = dir.Copy("silence.flac");
  orvell_test::SetFields(path, orvell_test::RichValues());
  ReadFields expected = LibraryFields(path);

  // Repeated --clear and a comma-separated list; clearing the disc keeps
  // the disc total.
  Write(path, {"--clear", "title", "--clear", "album_artist,comment", "--clear", "disc",
               "--genre", "Bossa nova"});
  expected[orvell_blocks::kTitle] = "";
  expected[orvell_blocks::kAlbumArtist] = "";
  expected[orvell_blocks::kComment] = "";
  expected[orvell_blocks::kDisc] = "0";
  expected[orvell_blocks::kGenre] = "Bossa nova";
  EXPECT_EQ(LibraryFields(path), expected);
  EXPECT_TRUE(orvell_test::Values(path, "ALBUMARTIST").empty());

  // Clearing the track removes the whole pair; numbers clear to 0.
  Write(path, {"--clear", "track", "--clear", "year"});
  expected[orvell_blocks::kTrack] = "0";
  expected[orvell_blocks::kTrackTotal] = "0";
  expected[orvell_blocks::kYear] = "0";
  EXPECT_EQ(LibraryFields(path), expected);
  EXPECT_TRUE(orvell_test::Values(path, "TRACKNUMBER").empty());
}

TEST(Write, AnEmptyValueEmptiesATextAndLeadingZerosAreANumber) {
  TempDir dir;
  const std::string path = dir.Copy("silence.mp3");
  Write(path, {"--title", "", "--year", "02024", "--track-total", "0", "--track", "7"});
  const nlohmann::ordered_json record = ReadJson(path);
  EXPECT_EQ(record["title"], "");
  EXPECT_EQ(record["year"], 2024);
  EXPECT_EQ(record["track"], 7);
  EXPECT_EQ(record["track_total"], 0);
}

TEST(Write, AFileThatDoesNotOpenFailsAndStaysAsItWas) {
  TempDir dir;
  const std::string path = dir.Copy("notaudio.flac");
  const std::string before = orvell_test::ReadBytes(path);
  const orvell_test::ToolRun run = RunTool({"write", path, "--title", "x"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "orvell: " + path +
                         ": cannot open: missing, unreadable or not an audio format TagLib handles\n");
  EXPECT_EQ(orvell_test::ReadBytes(path), before);

  const std::string missing = dir.File("missing.flac");
  EXPECT_EQ(RunTool({"write", missing, "--year", "1"}).status, 1);
}

}  // namespace
