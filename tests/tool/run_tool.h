// Runs the built orvell tool as a user would, capturing what it prints.
#ifndef ORVELL_TESTS_TOOL_RUN_TOOL_H
#define ORVELL_TESTS_TOOL_RUN_TOOL_H

#include <string>
#include <vector>

namespace orvell_test {

struct ToolRun {
  int status = -1;  // exit status; -1 when the tool did not exit normally
  std::string out;
  std::string err;
  bool timed_out = false;
};

struct RunOptions {
  // stderr on a pseudo-terminal instead of a pipe.
  bool stderr_terminal = false;
  // The tool is killed after this long, so a hang fails the test.
  int timeout_seconds = 60;
};

// Runs the tool with args (without the program name), stdin from /dev/null.
ToolRun RunTool(const std::vector<std::string>& args, const RunOptions& options = {});

// The lines of text, without their newlines.
std::vector<std::string> Lines(const std::string& text);

}  // namespace orvell_test

#endif
