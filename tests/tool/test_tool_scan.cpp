// orvell scan over a directory of fixtures, a text file, subdirectories and
// a FIFO: the same records in sorted path order whatever the number of
// threads, JSON and CSV, an output file, and the progress bar.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "orvell.h"
#include "run_tool.h"
#include "support/temp_files.h"
#include "tool_support.h"

namespace {

using nlohmann::ordered_json;
using orvell_test::Lines;
using orvell_test::RunTool;
using orvell_test::TempDir;

// music/ holds every fixture format (half of them one and two levels down),
// a tagged FLAC, one named in capitals, a text file named like audio, files
// a music folder also holds (cover art, a cue sheet, a log, notes), an empty
// subdirectory and a FIFO.
class Scan : public ::testing::Test {
 protected:
  void SetUp() override {
    namespace fs = std::filesystem;
    root_ = dir_.File("music");
    fs::create_directories(root_ + "/b-side/deeper");
    fs::create_directories(root_ + "/empty");
    const std::vector<std::string>& fixtures = orvell_test::AudioFixtures();
    for (size_t i = 0; i < fixtures.size(); ++i) {
      const char* folder = i % 3 == 0 ? "" : i % 3 == 1 ? "b-side/" : "b-side/deeper/";
      audio_.push_back(dir_.Copy(fixtures[i], "music/" + std::string(folder) + fixtures[i]));
    }
    audio_.push_back(dir_.Copy("silence.flac", "music/tagged.flac"));
    orvell_test::SetFields(audio_.back(), orvell_test::RichValues());
    const std::string cover = orvell_test::PngImage(1 << 16);
    EXPECT_EQ(OV_SetPicture(audio_.back().c_str(), 3, nullptr, "front", cover.data(), 1 << 16), 1);
    audio_.push_back(dir_.Copy("silence.mp3", "music/b-side/LOUD.MP3"));
    text_ = dir_.Copy("notaudio.flac", "music/b-side/notes.flac");
    for (const char* name : {"cover.jpg", "album.cue", "b-side/rip.log", "b-side/deeper/notes.txt"}) {
      others_.push_back(dir_.Copy("unknown.xyz", "music/" + std::string(name)));
    }
    EXPECT_EQ(mkfifo((root_ + "/b-side/pipe.mp3").c_str(), 0600), 0);
    std::sort(audio_.begin(), audio_.end());
  }

  // Every file named like audio, in the order of the records; with
  // all_files, every regular file.
  std::vector<std::string> Files(bool all_files = false) const {
    std::vector<std::string> files = audio_;
    files.push_back(text_);
    if (all_files) files.insert(files.end(), others_.begin(), others_.end());
    std::sort(files.begin(), files.end());
    return files;
  }

  TempDir dir_;
  std::string root_;
  std::vector<std::string> audio_;
  std::string text_;
  std::vector<std::string> others_;  // regular files not named like audio
};

// The library's reason for a file it does not take for audio.
const char* const kCannotOpen = "not an audio file TagLib reads";
// Every fixture, the tagged FLAC and the one in capitals are read; the
// FIFO and the four files not named like audio are skipped; the text file
// fails.
const std::string kSummary = "orvell scan: files read " +
                             std::to_string(orvell_test::AudioFixtures().size() + 2) +
                             ", skipped 5, failed 1, elapsed ";

TEST_F(Scan, OneAndFourThreadsGiveTheSameRecordsInSortedPathOrder) {
  const orvell_test::ToolRun one = RunTool({"scan", "--jobs", "1", root_}, orvell_test::Within(30));
  const orvell_test::ToolRun four = RunTool({"scan", "--jobs", "4", "--json", root_}, orvell_test::Within(30));
  // --all: every property and the list of pictures too, their sizes only.
  const orvell_test::ToolRun all = RunTool({"scan", "--jobs", "4", "--all", root_}, orvell_test::Within(30));
  ASSERT_FALSE(one.timed_out || four.timed_out || all.timed_out) << "a FIFO was opened";
  EXPECT_EQ(one.status, 0) << one.err;
  EXPECT_EQ(four.status, 0) << four.err;
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(one.out, four.out);

  const std::vector<std::string> files = Files();
  for (const orvell_test::ToolRun* run : {&four, &all}) {
    const std::vector<std::string> lines = Lines(run->out);
    ASSERT_EQ(lines.size(), files.size()) << run->out;
    for (size_t i = 0; i < files.size(); ++i) {
      const ordered_json record = ordered_json::parse(lines[i]);
      if (files[i] == text_) {
        EXPECT_EQ(record, ordered_json::parse(R"({"path":")" + text_ + R"(","error":")" +
                                              kCannotOpen + R"(","code":-3})"));
      } else {
        orvell_test::ExpectJsonRecord(record, files[i], orvell_test::LibraryFields(files[i]),
                                      run == &all);
      }
    }
  }
  EXPECT_NE(all.out.find(R"("pictures":[{"type":3,"mime":"image/png","description":"front","size":65536}])"),
            std::string::npos) << all.out;
  for (const orvell_test::ToolRun* run : {&one, &four, &all}) {
    const std::vector<std::string> err = Lines(run->err);
    ASSERT_EQ(err.size(), 2u) << run->err;
    EXPECT_EQ(err[0], "orvell: " + text_ + ": " + kCannotOpen);
    EXPECT_EQ(err[1].rfind(kSummary, 0), 0u) << err[1];
  }
}

// Splits CSV text into rows of cells, undoing the quoting.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
      rows.back().back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && c == ',') {
      rows.back().emplace_back();
    } else if (!quoted && c == '\n') {
      rows.emplace_back(1);
    } else {
      rows.back().back() += c;
    }
  }
  if (rows.back() == std::vector<std::string>(1)) rows.pop_back();
  return rows;
}

TEST_F(Scan, CsvHasAHeaderAndOneQuotedRowPerFile) {
  const orvell_test::ToolRun csv = RunTool({"scan", "--csv", "-j", "3", root_});
  const orvell_test::ToolRun json = RunTool({"scan", root_});
  ASSERT_EQ(csv.status, 0) << csv.err;
  const std::vector<std::vector<std::string>> rows = ParseCsv(csv.out);
  const std::vector<std::string> files = Files();
  ASSERT_EQ(rows.size(), 1 + files.size()) << csv.out;

  std::vector<std::string> header = {"path"};
  header.insert(header.end(), orvell_blocks::kFieldNames.begin(), orvell_blocks::kFieldNames.end());
  header.push_back("error");
  EXPECT_EQ(rows[0], header);

  const std::vector<std::string> records = Lines(json.out);
  ASSERT_EQ(records.size(), files.size());
  for (size_t i = 0; i < files.size(); ++i) {
    const std::vector<std::string>& row = rows[1 + i];
    ASSERT_EQ(row.size(), header.size()) << csv.out;
    const ordered_json record = ordered_json::parse(records[i]);
    EXPECT_EQ(row[0], record["path"]);
    if (record.contains("error")) {
      EXPECT_EQ(row.back(), record["error"]);
      EXPECT_EQ(row[1], "");
      continue;
    }
    EXPECT_EQ(row.back(), "");
    for (size_t f = 0; f < orvell_blocks::kReadFields; ++f) {
      const ordered_json& value = record[header[1 + f]];
      EXPECT_EQ(row[1 + f], value.is_string() ? value.get<std::string>() : value.dump())
          << header[1 + f] << " of " << row[0];
    }
  }
  // The artist holds a quote and a comma: it must have been quoted.
  EXPECT_NE(csv.out.find(R"("Ærø ""Trio"", live")"), std::string::npos);
}

TEST_F(Scan, OutputFileGetsTheRecordsAndIsNotScannedItself) {
  const std::string output = root_ + "/index.jsonl";
  for (int pass = 0; pass < 2; ++pass) {  // the second pass finds it in place
    const orvell_test::ToolRun run = RunTool({"scan", "--output", output, root_});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    const std::vector<std::string> lines = Lines(orvell_test::ReadBytes(output));
    EXPECT_EQ(lines.size(), Files().size()) << "pass " << pass;
    for (const std::string& line : lines) {
      EXPECT_EQ(line.find("index.jsonl"), std::string::npos) << line;
    }
  }
}

TEST_F(Scan, AMissingDirectoryFailsTheScanButTheOthersAreStillRead) {
  const std::string missing = dir_.File("nowhere");
  const std::string deeper = root_ + "/b-side/deeper";
  std::vector<std::string> expected = {root_ + "/silence.mp3"};
  for (const std::string& file : audio_) {
    if (file.rfind(deeper, 0) == 0) expected.push_back(file);
  }
  std::sort(expected.begin(), expected.end());
  // A file given on its own is read too, and once only when its directory
  // is also given.
  const orvell_test::ToolRun run =
      RunTool({"scan", missing, deeper, root_ + "/silence.mp3", expected.back()});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(Lines(run.err).front(), "orvell: " + missing + ": no such directory");
  std::vector<std::string> paths;
  for (const std::string& line : Lines(run.out)) paths.push_back(ordered_json::parse(line)["path"]);
  EXPECT_EQ(paths, expected);
}

TEST_F(Scan, AllFilesReadsEveryRegularFileWhateverItsName) {
  // What a save left beside a file is no track, whatever its name.
  orvell_test::WriteBytes(root_ + "/.silence.mp3.orvell-save", "ORVELL-JOURNAL1\n");
  const orvell_test::ToolRun run = RunTool({"scan", "--all-files", "--jobs", "2", root_}, orvell_test::Within(30));
  EXPECT_EQ(run.status, 0) << run.err;
  std::vector<std::string> paths;
  for (const std::string& line : Lines(run.out)) paths.push_back(ordered_json::parse(line)["path"]);
  EXPECT_EQ(paths, Files(true));
  std::vector<std::string> expected_err;
  for (const std::string& file : Files(true)) {
    if (file == text_ || std::count(others_.begin(), others_.end(), file) > 0) {
      expected_err.push_back("orvell: " + file + ": " + kCannotOpen);
    }
  }
  std::vector<std::string> err = Lines(run.err);
  ASSERT_EQ(err.size(), expected_err.size() + 1) << run.err;
  const std::string summary = "orvell scan: files read " + std::to_string(audio_.size()) +
                              ", skipped 2, failed 5, elapsed ";
  EXPECT_EQ(err.back().rfind(summary, 0), 0u) << err.back();
  err.pop_back();
  EXPECT_EQ(err, expected_err);
}

TEST_F(Scan, ProgressBarOnlyWhenStderrIsATerminalAndErasedAtTheEnd) {
  const orvell_test::ToolRun piped = RunTool({"scan", root_});
  EXPECT_EQ(piped.err.find('\r'), std::string::npos) << piped.err;
  EXPECT_EQ(piped.err.find("files/s"), std::string::npos) << piped.err;

  const orvell_test::ToolRun terminal = RunTool({"scan", root_}, orvell_test::Within(30, true));
  if (terminal.no_terminal) GTEST_SKIP() << "no pseudo-terminal could be opened: progress bar not checked";
  EXPECT_EQ(terminal.status, 0) << terminal.err;
  const std::string total = "/" + std::to_string(Files().size()) + " files";
  EXPECT_NE(terminal.err.find(total), std::string::npos) << terminal.err;
  EXPECT_NE(terminal.err.find("files/s"), std::string::npos) << terminal.err;
  // On the screen: the summary on a line of its own, nothing of the bar
  // left on it, and the cursor on the clean line below.
  const size_t end = terminal.err.rfind('\n');
  ASSERT_NE(end, std::string::npos) << terminal.err;
  EXPECT_EQ(orvell_test::LastScreenLine(terminal.err.substr(0, end)).rfind(kSummary, 0), 0u)
      << terminal.err;
  EXPECT_EQ(orvell_test::LastScreenLine(terminal.err), "");
  // The records on stdout are not disturbed by it.
  EXPECT_EQ(terminal.out, piped.out);
}

// A scan that ends early leaves no bar behind, with one reading thread and
// with several: the next prompt starts on a clean line.
TEST_F(Scan, ProgressBarIsErasedWhenTheOutputClosesOrTheScanIsInterrupted) {
  const std::string many = dir_.File("many");
  std::filesystem::create_directory(many);
  const std::string original = dir_.Copy("silence.wv", "many/0000.wv");
  for (int i = 1; i < 1500; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "/%04d.wv", i);
    ASSERT_EQ(link(original.c_str(), (many + name).c_str()), 0);
  }
  struct Ending {
    const char* what;
    const char* jobs;
    size_t stdout_lines;  // `| head -1`
    int signal;           // Ctrl-C
    int ended_by;
  };
  const Ending endings[] = {
      {"head -1", "1", 1, 0, SIGPIPE},
      {"head -1", "2", 1, 0, SIGPIPE},
      {"Ctrl-C", "1", SIZE_MAX, SIGINT, SIGINT},
      {"Ctrl-C", "2", SIZE_MAX, SIGINT, SIGINT},
  };
  for (const Ending& ending : endings) {
    SCOPED_TRACE(std::string(ending.what) + ", --jobs " + ending.jobs);
    orvell_test::RunOptions options;
    options.stderr_terminal = true;
    options.stdout_lines = ending.stdout_lines;
    options.signal = ending.signal;
    options.signal_when = "files/s";
    const orvell_test::ToolRun run = RunTool({"scan", "--jobs", ending.jobs, many}, options);
    if (run.no_terminal) GTEST_SKIP() << "no pseudo-terminal could be opened: progress bar not checked";
    ASSERT_FALSE(run.timed_out);
    EXPECT_EQ(run.signal, ending.ended_by) << run.err;
    EXPECT_NE(run.err.find("files/s"), std::string::npos) << "no bar was drawn";
    EXPECT_EQ(orvell_test::LastScreenLine(run.err), "") << run.err;
  }
}

}  // namespace
