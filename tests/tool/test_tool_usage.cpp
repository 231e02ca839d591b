// Usage errors of every subcommand: exit status 2, a message that names
// what was wrong, and no file touched. --help on every subcommand.
#include <cctype>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "orvell.h"
#include "run_tool.h"
#include "support/temp_files.h"

namespace {

using orvell_test::RunTool;

struct UsageCase {
  std::vector<std::string> args;  // "FILE" stands for a fixture copy
  std::string message;            // a part of what stderr must say
};

const UsageCase kUsageCases[] = {
    {{}, "orvell: no command given"},
    {{"tag", "FILE"}, "unknown command 'tag': the commands are read, write, scan, undo, cover and help"},
    {{"raed", "FILE"}, "orvell: unknown command 'raed' (did you mean 'read'?)"},
    {{"bogus"}, "unknown command 'bogus'"},
    {{"help", "bogus"}, "unknown command 'bogus'"},
    {{"help", "read", "write"}, "orvell: unexpected argument 'write'"},
    {{"help", "wirte"}, "unknown command 'wirte' (did you mean 'write'?)"},
    {{"-x", "read", "FILE"}, "unknown option '-x'"},
    {{"read"}, "FILE is required"},
    {{"read", "--yaml", "FILE"}, "orvell: unknown option '--yaml'\n"},
    {{"read", "--jsn", "FILE"}, "orvell: unknown option '--jsn' (did you mean '--json'?)"},
    {{"write", "--tittle", "x", "FILE"}, "orvell: unknown option '--tittle' (did you mean '--title'?)"},
    {{"write", "--album-artits=x", "FILE"}, "unknown option '--album-artits' (did you mean '--album-artist'?)"},
    {{"scan", "--job", "2", "DIR"}, "unknown option '--job' (did you mean '--jobs'?)"},
    {{"undo", "FILE", "FILE"}, "orvell: unexpected argument '"},
    {{"undo"}, "JOURNAL is required"},
    {{"write", "FILE"}, "nothing to write"},
    {{"write", "--title", "x"}, "FILE is required"},
    {{"write", "", "--title", "x"}, "empty file name"},
    {{"write", "FILE", "--year", "abc"}, "--year: must be a whole number from 0 to 2147483647"},
    {{"write", "FILE", "--year", "-1"}, "--year"},
    {{"write", "FILE", "--track", "2147483648"}, "--track: must be a whole number"},
    {{"write", "FILE", "--disc-total", "1x"}, "--disc-total: must be a whole number"},
    {{"write", "FILE", "--track-total", ""}, "--track-total: must be a whole number"},
    {{"write", "FILE", "--disc", " 3"}, "--disc: must be a whole number"},
    {{"write", "FILE", "--clear", "duration"}, "--clear: 'duration' is not a field that can be written: the fields are title,"},
    {{"write", "FILE", "--clear", "Title"}, "--clear: 'Title' is not a field that can be written (did you mean 'title'?)"},
    {{"write", "FILE", "--title", "a", "--clear", "title"}, "title is also set by --title"},
    {{"write", "FILE", "--clear", "track", "--track-total", "3"}, "track removes the track total"},
    {{"write", "FILE", "--title", "a", "--title", "b"}, "--title"},
    {{"write", "FILE", "FILE", "--year", "x", "FILE"}, "--year: must be a whole number"},
    {{"write", "FILE", "--track", "3/"}, "--track: must be a whole number from 0 to 2147483647, or a number and a total"},
    {{"write", "FILE", "--track", "/12"}, "--track: must be a whole number"},
    {{"write", "FILE", "--disc", "1/2/3"}, "--disc: must be a whole number"},
    {{"write", "FILE", "--disc", "1/-2"}, "--disc: must be a whole number"},
    {{"write", "FILE", "--track-total", "3/12"}, "--track-total: must be a whole number"},
    {{"write", "FILE", "--track", "3/12", "--track-total", "12"}, "--track: gives the total too; it cannot go with --track-total"},
    {{"write", "FILE", "--disc", "1/2", "--clear", "disc_total"}, "disc_total is also set by --disc"},
    {{"write", "FILE", "--track", "3/12", "--clear", "track"}, "track is also set by --track"},
    {{"write", "--number-tracks", "--track", "3", "FILE"}, "--number-tracks: sets the track and its total; it cannot go with --track"},
    {{"write", "--number-tracks", "--disc", "1/2", "--track", "3/4", "FILE"}, "--number-tracks: sets the track and its total; it cannot go with --track"},
    {{"write", "--number-tracks", "--track-total", "3", "FILE"}, "it cannot go with --track-total"},
    {{"write", "--number-tracks", "--clear", "track_total", "FILE"}, "it cannot go with --clear track_total"},
    {{"write", "--journal", "", "--title", "x", "FILE"}, "--journal: empty file name"},
    {{"write", "FILE", "--set", "MOOD"}, "--set: must be KEY=VALUE, not 'MOOD'"},
    {{"write", "FILE", "--set", "=calm"}, "--set: '' is not a property key: 1 to 255 characters of printable ASCII"},
    {{"write", "FILE", "--remove", "MO=OD"}, "--remove: 'MO=OD' is not a property key"},
    {{"write", "FILE", "--set", "mood=calm", "--remove", "Mood"}, "--remove: MOOD is also set by --set"},
    {{"write", "FILE", "--title", "x", "--set", "title=y"}, "--set: TITLE is also written by --title"},
    {{"write", "FILE", "--clear", "comment", "--set", "DESCRIPTION=y"}, "DESCRIPTION is also written by --clear comment"},
    {{"write", "FILE", "--track", "3/12", "--remove", "TrackTotal"}, "--remove: TRACKTOTAL is also written by --track"},
    {{"write", "--number-tracks", "--set", "TRACKNUMBER=1", "FILE"}, "TRACKNUMBER is also written by --number-tracks"},
    {{"write", "FILE", "--cover", "FILE"}, "not a JPEG, PNG, GIF, BMP or WebP image"},
    {{"write", "FILE", "--cover", "/nonexistent/art.jpg"}, "--cover: /nonexistent/art.jpg: cannot read: no such file"},
    {{"scan", "--all", "--csv", "DIR"}, "--csv excludes --all"},
    {{"cover"}, "FILE is required"},
    {{"cover", "FILE", "FILE"}, "orvell: unexpected argument '"},
    {{"cover", "--output", "", "FILE"}, "--output: empty file name"},
    {{"scan"}, "DIR is required"},
    {{"scan", "--jobs", "0", "DIR"}, "--jobs"},
    {{"scan", "--jobs", "many", "DIR"}, "--jobs"},
    {{"scan", "--json", "--csv", "DIR"}, "--json excludes --csv"},
};

TEST(Usage, ErrorsExitWithTwoNameTheProblemAndTouchNoFile) {
  orvell_test::TempDir dir;
  const std::string path = dir.Copy("silence.flac");
  const std::string before = orvell_test::ReadBytes(path);
  for (const UsageCase& usage : kUsageCases) {
    std::vector<std::string> args;
    std::string shown;
    for (const std::string& arg : usage.args) {
      args.push_back(arg == "FILE" ? path : arg == "DIR" ? dir.path() : arg);
      shown += " " + arg;
    }
    const orvell_test::ToolRun run = RunTool(args);
    EXPECT_EQ(run.status, 2) << "orvell" << shown << "\n" << run.err;
    EXPECT_EQ(run.err.rfind("orvell: ", 0), 0u) << "orvell" << shown << "\n" << run.err;
    EXPECT_NE(run.err.find(usage.message), std::string::npos) << "orvell" << shown << "\n" << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << "orvell" << shown;
    EXPECT_EQ(run.out, "") << "orvell" << shown;
  }
  EXPECT_EQ(orvell_test::ReadBytes(path), before);
}

TEST(Usage, EverySubcommandHasHelpAndHelpCommandPrintsIt) {
  const std::vector<std::vector<std::string>> commands = {
      {}, {"read"}, {"write"}, {"scan"}, {"undo"}, {"cover"}, {"help"}};
  for (std::vector<std::string> command : commands) {
    std::string usage = "Usage: orvell";
    for (const std::string& word : command) usage += " " + word;
    std::vector<std::string> help = {"help"};
    help.insert(help.end(), command.begin(), command.end());
    command.push_back("--help");
    const orvell_test::ToolRun run = RunTool(command);
    EXPECT_EQ(run.status, 0) << usage;
    EXPECT_NE(run.out.find(usage), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("--help"), std::string::npos) << run.out;
    // `orvell help COMMAND` prints the same.
    const orvell_test::ToolRun asked = RunTool(help);
    EXPECT_EQ(asked.status, 0) << usage;
    EXPECT_EQ(asked.out, run.out) << usage;
  }
  EXPECT_NE(RunTool({"write", "--help"}).out.find("--album-artist"), std::string::npos);
  EXPECT_NE(RunTool({"scan", "--help"}).out.find("--jobs"), std::string::npos);
}

TEST(Usage, VersionIsTheLibraryVersion) {
  for (const char* flag : {"--version", "-V"}) {
    const orvell_test::ToolRun run = RunTool({flag});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, std::to_string(ORVELL_VERSION_MAJOR) + "." +
                           std::to_string(ORVELL_VERSION_MINOR) + "." +
                           std::to_string(ORVELL_VERSION_PATCH) + "\n");
  }
}

// The man page, as its troff source: groff formats it without a warning,
// and it documents every command and every option that --help lists.
TEST(Usage, ManPageFormatsCleanlyAndNamesEveryCommandAndOption) {
  const std::string page = orvell_test::ReadBytes(ORVELL_MAN_PAGE);
  ASSERT_FALSE(page.empty()) << ORVELL_MAN_PAGE;
  EXPECT_EQ(page.rfind(".TH ORVELL 1 \"\" \"Orvell " + std::to_string(ORVELL_VERSION_MAJOR) + "." +
                          std::to_string(ORVELL_VERSION_MINOR) + "\"",
                      0),
            0u)
      << "the title line names another version";
  std::string text = page;  // "\-" is how troff source writes a hyphen
  for (size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at)) {
    text.erase(at, 1);
  }
  for (const char* command : {"", "read", "write", "scan", "undo", "cover", "help"}) {
    if (command[0] != '\0') {
      EXPECT_NE(text.find(std::string(".SS \"orvell ") + command), std::string::npos) << command;
    }
    const std::string help =
        RunTool(command[0] ? std::vector<std::string>{command, "--help"} : std::vector<std::string>{"--help"}).out;
    for (size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
      size_t end = at + 2;
      while (end < help.size() && (std::isalnum(static_cast<unsigned char>(help[end])) || help[end] == '-')) ++end;
      const std::string option = help.substr(at, end - at);
      EXPECT_NE(text.find(option), std::string::npos) << option << " of orvell " << command;
    }
  }

  const orvell_test::ToolRun groff = orvell_test::RunProgram("groff", {"-man", "-Tutf8", "-ww", "-z", ORVELL_MAN_PAGE});
  if (groff.status == 127) GTEST_SKIP() << "groff is not installed: the man page was not formatted";
  EXPECT_EQ(groff.status, 0);
  EXPECT_EQ(groff.err, "") << "groff warns";
}

}  // namespace
