// Usage errors of every subcommand: exit status 2, a message that names
// what was wrong, and no file touched. --help on every subcommand.
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
    {{}, "A subcommand is required"},
    {{"tag", "FILE"}, "A subcommand is required"},
    {{"read"}, "FILE is required"},
    {{"read", "--yaml", "FILE"}, "--yaml"},
    {{"write", "FILE"}, "nothing to write"},
    {{"write", "--title", "x"}, "FILE is required"},
    {{"write", "", "--title", "x"}, "empty file name"},
    {{"write", "FILE", "--year", "abc"}, "--year: must be a whole number from 0 to 2147483647"},
    {{"write", "FILE", "--year", "-1"}, "--year"},
    {{"write", "FILE", "--track", "2147483648"}, "--track: must be a whole number"},
    {{"write", "FILE", "--disc-total", "1x"}, "--disc-total: must be a whole number"},
    {{"write", "FILE", "--track-total", ""}, "--track-total: must be a whole number"},
    {{"write", "FILE", "--disc", " 3"}, "--disc: must be a whole number"},
    {{"write", "FILE", "--clear", "duration"}, "--clear: duration not in"},
    {{"write", "FILE", "--clear", "Title"}, "--clear: Title not in"},
    {{"write", "FILE", "--title", "a", "--clear", "title"}, "title is also set by --title"},
    {{"write", "FILE", "--clear", "track", "--track-total", "3"}, "track removes the track total"},
    {{"write", "FILE", "--title", "a", "--title", "b"}, "--title"},
    {{"write", "FILE", "--title", "a", "FILE"}, "was not expected"},
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
    EXPECT_NE(run.err.find(usage.message), std::string::npos) << "orvell" << shown << "\n" << run.err;
    EXPECT_NE(run.err.find("--help"), std::string::npos) << "orvell" << shown;
    EXPECT_EQ(run.out, "") << "orvell" << shown;
  }
  EXPECT_EQ(orvell_test::ReadBytes(path), before);
}

TEST(Usage, EverySubcommandHasHelp) {
  const std::vector<std::vector<std::string>> commands = {
      {}, {"read"}, {"write"}, {"scan"}};
  for (std::vector<std::string> command : commands) {
    std::string usage = "Usage: orvell";
    for (const std::string& word : command) usage += " " + word;
    command.push_back("--help");
    const orvell_test::ToolRun run = RunTool(command);
    EXPECT_EQ(run.status, 0) << usage;
    EXPECT_NE(run.out.find(usage), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("--help"), std::string::npos) << run.out;
  }
  EXPECT_NE(RunTool({"write", "--help"}).out.find("--album-artist"), std::string::npos);
  EXPECT_NE(RunTool({"scan", "--help"}).out.find("--jobs"), std::string::npos);
}

TEST(Usage, VersionIsTheLibraryVersion) {
  const orvell_test::ToolRun run = RunTool({"--version"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, std::to_string(ORVELL_VERSION_MAJOR) + "." + std::to_string(ORVELL_VERSION_MINOR) +
                         "." + std::to_string(ORVELL_VERSION_PATCH) + "\n");
}

}  // namespace
