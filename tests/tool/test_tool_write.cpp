// orvell write, run as a user runs it: write then read round trips on every
// format, --clear, property keys, covers in and out (orvell cover), the
// journal and undo, and failures that leave the file as it was.
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "orvell.h"
#include "run_tool.h"
#include "support/tag_model.h"
#include "support/taglib_direct.h"
#include "support/temp_files.h"
#include "tool_support.h"

namespace {

using orvell_blocks::ReadFields;
using orvell_test::LibraryFields;
using orvell_test::RunTool;
using orvell_test::TempDir;

// Runs orvell write and expects it to succeed with its summary alone.
void Write(const std::string& path, std::vector<std::string> args) {
  args.insert(args.begin(), {"write", path});
  const orvell_test::ToolRun run = RunTool(args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "orvell: 1 file written\n");
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
  const std::string image = dir.File("cover.png");
  orvell_test::WriteBytes(image, orvell_test::PngImage(5000));
  std::vector<std::string> args = orvell_test::WriteArgs(values);
  args.insert(args.end(), {"--set", "MOOD=calm", "--set", "mood=late night", "--set",
                           "MUSICBRAINZ_TRACKID=8f9a7c4e", "--cover", image});
  Write(path, args);

  const nlohmann::ordered_json record = ReadJson(path);
  const ReadFields fields = LibraryFields(path);
  orvell_test::ExpectJsonRecord(record, path, fields, true);
  for (size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(fields[i], values[i]) << orvell_blocks::kFieldNames[i];
  }
  // Another reader sees the generic fields too.
  const orvell_test::DirectTag direct = orvell_test::ReadTag(path);
  EXPECT_EQ(direct.title, values[orvell_blocks::kTitle]);
  EXPECT_EQ(direct.artist, values[orvell_blocks::kArtist]);
  EXPECT_EQ(direct.year, 1959u);
  // A repeated key gives several values, in order.
  EXPECT_EQ(orvell_test::Values(path, "MOOD"), (std::vector<std::string>{"calm", "late night"}));
  EXPECT_EQ(orvell_test::Values(path, "MUSICBRAINZ_TRACKID"), std::vector<std::string>{"8f9a7c4e"});
  EXPECT_EQ(record["pictures"], nlohmann::ordered_json::parse(
                                    R"([{"type":3,"mime":"image/png","description":"","size":5000}])"));
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

// An M4A file whose chunk-offset table claims far more entries than its box
// holds: the library refuses to save it, since TagLib's save would write
// the table over the audio. TagLib 2 may not open it at all.
std::string DamagedM4a(const TempDir& dir) {
  const std::string path = dir.Copy("silence.m4a", "damaged.m4a");
  std::string bytes = orvell_test::ReadBytes(path);
  bytes.replace(bytes.find("stco") + 8, 4, std::string("\x00\x10\x00\x00", 4));
  orvell_test::WriteBytes(path, bytes);
  return path;
}

// One change to many files in one run: every file that can be written is,
// each one that cannot is named with its cause, in order, and keeps every
// byte.
TEST(Write, OneChangeGoesToEveryFileAndEachFailureNamesItsCause) {
  TempDir dir;
  std::vector<std::string> good;
  for (const std::string& fixture : orvell_test::AudioFixtures()) {
    good.push_back(dir.Copy(fixture));
    orvell_test::SetFields(good.back(), orvell_test::RichValues());
  }
  const std::string damaged = DamagedM4a(dir);
  const bool damaged_opens = orvell_test::ReadAll(damaged).has_value();
  const std::string fifo = dir.File("pipe.flac");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const std::string read_only = dir.Copy("silence.flac", "read-only.flac");
  ASSERT_EQ(chmod(read_only.c_str(), 0444), 0);
  const std::string unreadable = dir.Copy("silence.ogg", "unreadable.ogg");
  ASSERT_EQ(chmod(unreadable.c_str(), 0200), 0);
  const struct {
    std::string path;
    std::string cause;
  } failing[] = {
      {dir.File("missing.flac"), "no such file"},
      {dir.File("nowhere/missing.flac"), "no such file"},
      // The library's own reasons, told right after each call.
      {dir.Copy("notaudio.flac"), "not an audio file TagLib reads"},
      {fifo, "a FIFO, not a file"},
      {dir.path(), "a folder, not a file"},
      {unreadable, "permission denied"},
      {read_only, "the file cannot be opened for writing: permission denied"},
      {damaged, damaged_opens ? "save refused: a chunk-offset table claims more entries than its "
                                "box holds"
                              : "not an audio file TagLib reads"},
  };
  // The files may follow --clear, which takes one field.
  std::vector<std::string> args = {"write", "--album", "Kind of Blue", "--track", "3/12",
                                   "--disc", "1/2", "--clear", "comment"};
  std::vector<std::string> expected_err;
  std::vector<std::string> before;
  for (size_t i = 0; i < std::size(failing); ++i) {
    args.push_back(failing[i].path);
    args.push_back(good[i % good.size()]);
    expected_err.push_back("orvell: " + failing[i].path + ": " + failing[i].cause);
    // Reading a FIFO would wait for a writer.
    before.push_back(std::filesystem::is_regular_file(failing[i].path)
                         ? orvell_test::ReadBytes(failing[i].path)
                         : "");
  }
  args.insert(args.end(), good.begin(), good.end());
  expected_err.push_back("orvell: " + std::to_string(std::size(failing) + good.size()) +
                         " files written, " + std::to_string(std::size(failing)) + " failed");

  orvell_test::RunOptions options;
  options.timeout_seconds = 30;
  options.file_permissions = true;
  const orvell_test::ToolRun run = RunTool(args, options);
  chmod(unreadable.c_str(), 0600);
  if (run.permissions_unavailable) GTEST_SKIP() << "file permissions cannot be made to hold for root";
  ASSERT_FALSE(run.timed_out) << "a FIFO was opened";
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(orvell_test::Lines(run.err), expected_err);
  for (size_t i = 0; i < std::size(failing); ++i) {
    if (!before[i].empty()) {
      EXPECT_EQ(orvell_test::ReadBytes(failing[i].path), before[i]) << failing[i].path;
    }
  }
  for (const std::string& path : good) {
    const ReadFields fields = LibraryFields(path);
    EXPECT_EQ(fields[orvell_blocks::kAlbum], "Kind of Blue") << path;
    EXPECT_EQ(fields[orvell_blocks::kComment], "") << path;
    EXPECT_EQ(fields[orvell_blocks::kTitle], orvell_test::RichValues()[orvell_blocks::kTitle]) << path;
    EXPECT_EQ(fields[orvell_blocks::kTrack], "3") << path;
    EXPECT_EQ(fields[orvell_blocks::kTrackTotal], "12") << path;
    EXPECT_EQ(fields[orvell_blocks::kDisc], "1") << path;
    EXPECT_EQ(fields[orvell_blocks::kDiscTotal], "2") << path;
    // Another reader sees the pairs as one would write them.
    EXPECT_EQ(orvell_test::Values(path, "TRACKNUMBER"), std::vector<std::string>{"3/12"}) << path;
    EXPECT_EQ(orvell_test::Values(path, "DISCNUMBER"), std::vector<std::string>{"1/2"}) << path;
  }
}

// --number-tracks gives the i-th of N files track i of N, with the other
// options of the same write; a file that fails keeps its place. -q leaves
// out the summary.
TEST(Write, NumberTracksNumbersTheFilesInTheOrderGiven) {
  TempDir dir;
  const std::vector<std::string> files = {dir.Copy("silence.ogg"), dir.Copy("silence.mp3"),
                                          dir.File("missing.flac"), dir.Copy("silence.m4a")};
  std::vector<std::string> args = {"write", "-q", "--album", "Side B", "--number-tracks"};
  args.insert(args.end(), files.begin(), files.end());
  const orvell_test::ToolRun run = RunTool(args);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "orvell: " + files[2] + ": no such file\n");
  for (size_t i : {0, 1, 3}) {
    const ReadFields fields = LibraryFields(files[i]);
    EXPECT_EQ(fields[orvell_blocks::kTrack], std::to_string(i + 1)) << files[i];
    EXPECT_EQ(fields[orvell_blocks::kTrackTotal], "4") << files[i];
    EXPECT_EQ(fields[orvell_blocks::kAlbum], "Side B") << files[i];
    EXPECT_EQ(orvell_test::ReadTag(files[i]).track, i + 1) << files[i];
  }
}

// Each journaled write appends what it changed in each file, old and new;
// undo puts the old values back where the file still holds the new ones,
// leaves a field another program changed since, and a second undo changes
// nothing more.
TEST(Write, UndoTakesBackTheJournaledWritesButNotLaterChanges) {
  TempDir dir;
  const std::string flac = dir.Copy("silence.flac");
  orvell_test::SetFields(flac, orvell_test::RichValues());
  const std::string mp3 = dir.Copy("silence.mp3");
  const std::string journal = dir.File("changes.jsonl");
  const ReadFields flac_before = LibraryFields(flac);
  const ReadFields mp3_before = LibraryFields(mp3);

  // Property keys are journaled too, by their names, with their values.
  const std::vector<std::string> keys = {"MOOD", "GENRE"};
  std::map<std::string, std::vector<std::string>> flac_keys;
  for (const std::string& key : keys) flac_keys[key] = orvell_test::Values(flac, key);
  const std::vector<std::string> change = {"write", "--title", "New", "--year", "2001",
                                           "--clear", "comment", "--track", "5/9", "--set",
                                           "MOOD=calm", "--set", "MOOD=late", "--remove", "genre"};
  std::vector<std::string> args = change;
  args.insert(args.end(), {"--journal", journal, flac, dir.File("missing.mp3")});
  EXPECT_EQ(RunTool(args).status, 1);
  // ORVELL_JOURNAL names the journal too.
  setenv("ORVELL_JOURNAL", journal.c_str(), 1);
  args = change;
  args.push_back(mp3);
  const orvell_test::ToolRun second = RunTool(args);
  unsetenv("ORVELL_JOURNAL");
  EXPECT_EQ(second.status, 0) << second.err;

  // One record per written file, with every field whose value changed.
  const std::vector<std::string> lines = orvell_test::Lines(orvell_test::ReadBytes(journal));
  ASSERT_EQ(lines.size(), 2u);
  const std::pair<std::string, ReadFields> written[] = {{flac, flac_before}, {mp3, mp3_before}};
  const std::map<std::string, std::vector<std::string>> keys_before[] = {flac_keys, {}};
  for (size_t r = 0; r < 2; ++r) {
    const nlohmann::json record = nlohmann::json::parse(lines[r]);
    EXPECT_EQ(record["path"], written[r].first);
    const ReadFields after = LibraryFields(written[r].first);
    nlohmann::json changes = nlohmann::json::object();
    for (size_t i = 0; i < orvell_blocks::kWriteRecords; ++i) {
      if (written[r].second[i] == after[i]) continue;
      auto value = [i](const std::string& text) -> nlohmann::json {
        if (orvell_blocks::IsTextField(i)) return text;
        return text == "0" ? nlohmann::json() : nlohmann::json(std::stoll(text));
      };
      changes[orvell_blocks::kFieldNames[i]] = {{"old", value(written[r].second[i])},
                                                {"new", value(after[i])}};
    }
    for (const std::string& key : keys) {
      const auto old_values = keys_before[r].find(key);
      const nlohmann::json was = old_values == keys_before[r].end() ? nlohmann::json::array()
                                                                   : nlohmann::json(old_values->second);
      const nlohmann::json now = orvell_test::Values(written[r].first, key);
      if (was != now) changes[key] = {{"old", was}, {"new", now}};
    }
    EXPECT_EQ(record["changes"], changes) << written[r].first;
    EXPECT_TRUE(record["changes"].contains("year")) << lines[r];
    EXPECT_EQ(record["changes"]["MOOD"]["new"], nlohmann::json({"calm", "late"})) << lines[r];
  }
  EXPECT_EQ(nlohmann::json::parse(lines[0])["changes"]["GENRE"],
            nlohmann::json::parse(R"({"old":["Jazz"],"new":[]})"));

  // Another program changes the title of one file.
  orvell_test::SetValues(flac, "TITLE", {"Mine"});
  ReadFields flac_expected = flac_before;
  flac_expected[orvell_blocks::kTitle] = "Mine";
  const std::string left = "orvell: " + flac + ": title was changed after the write; left as it is\n";
  const orvell_test::ToolRun undo = RunTool({"undo", journal});
  EXPECT_EQ(undo.status, 0);
  EXPECT_EQ(undo.err, left + "orvell: 2 files restored\n");
  EXPECT_EQ(LibraryFields(flac), flac_expected);
  EXPECT_EQ(LibraryFields(mp3), mp3_before);
  EXPECT_EQ(orvell_test::Values(flac, "TRACKNUMBER"), std::vector<std::string>{"3/12"});
  for (const std::string& key : keys) {
    EXPECT_EQ(orvell_test::Values(flac, key), flac_keys[key]) << key;
    EXPECT_EQ(orvell_test::Values(mp3, key), std::vector<std::string>()) << key;
  }

  const orvell_test::ToolRun again = RunTool({"undo", journal});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.err, left + "orvell: 0 files restored\n");
  EXPECT_EQ(LibraryFields(flac), flac_expected);
  EXPECT_EQ(LibraryFields(mp3), mp3_before);
}

}  // namespace

// write --cover embeds an image as the front cover and orvell cover copies
// it back out, byte for byte, under the file's name with the image's
// extension or where --output says; the first picture stands in for a
// front cover a file lacks; --remove-covers takes every picture out.
TEST(Write, CoverEmbedsTheFrontCoverAndCoverCopiesItBackOut) {
  TempDir dir;
  const std::string image = dir.File("art.png");
  orvell_test::WriteBytes(image, orvell_test::PngImage(70000));
  for (const std::string fixture : {"silence.flac", "silence.mp3", "silence.m4a"}) {
    SCOPED_TRACE(fixture);
    const std::string path = dir.Copy(fixture);
    Write(path, {"--cover", image});
    const std::string exported = path.substr(0, path.rfind('.')) + ".png";
    orvell_test::ToolRun run = RunTool({"cover", path});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "orvell: " + path + ": front cover, image/png, 70000 bytes, written to " +
                           exported + "\n");
    EXPECT_EQ(orvell_test::ReadBytes(exported), orvell_test::ReadBytes(image));
    run = RunTool({"cover", "--output", "-", path});
    EXPECT_EQ(run.out, orvell_test::ReadBytes(image));

    Write(path, {"--remove-covers"});
    EXPECT_EQ(orvell_test::LibraryPictures(path), nlohmann::json::array());
    run = RunTool({"cover", path});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "orvell: " + path + ": holds no picture\n");
  }
  const std::string path = dir.Copy("silence.ogg");
  const std::string back = orvell_test::PngImage(300);
  ASSERT_EQ(OV_SetPicture(path.c_str(), 4, nullptr, "back", back.data(), 300), 1);
  const orvell_test::ToolRun run = RunTool({"cover", "-q", "-o", dir.File("out.img"), path});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(orvell_test::ReadBytes(dir.File("out.img")), back);
}
