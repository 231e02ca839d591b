// Runs the built orvell tool as a user would, capturing what it prints.
#ifndef ORVELL_TESTS_TOOL_RUN_TOOL_H
#define ORVELL_TESTS_TOOL_RUN_TOOL_H

#include <cstddef>
#include <limits>
#include <string>
#include <vector>

namespace orvell_test {

struct ToolRun {
  int status = -1;  // exit status; -1 when the tool did not exit normally
  int signal = 0;   // the signal that ended the tool, if one did
  std::string out;
  std::string err;
  bool timed_out = false;
  bool no_terminal = false;  // stderr_terminal was asked for and none could be opened: not run
  // file_permissions was asked for, as root, and the capabilities could not be dropped: not run
  bool permissions_unavailable = false;
};

struct RunOptions {
  // stderr on a pseudo-terminal instead of a pipe.
  bool stderr_terminal = false;
  // The tool is killed after this long, so a hang fails the test.
  int timeout_seconds = 60;
  // File permissions hold for the tool even when the tests run as root: it
  // runs without the capabilities that override them.
  bool file_permissions = false;
  // Stops reading stdout and closes it once this many lines have come, as
  // `head -n` does.
  size_t stdout_lines = std::numeric_limits<size_t>::max();
  // Sends this signal once stderr holds signal_when; stdout is not read
  // before, so the tool cannot finish first when its output fills the pipe.
  int signal = 0;
  std::string signal_when;
};

// Options that only bound the time, with stderr on a pipe or a terminal.
inline RunOptions Within(int timeout_seconds, bool stderr_terminal = false) {
  RunOptions options;
  options.timeout_seconds = timeout_seconds;
  options.stderr_terminal = stderr_terminal;
  return options;
}

// Runs the tool with args (without the program name), stdin from /dev/null.
ToolRun RunTool(const std::vector<std::string>& args, const RunOptions& options = {});
// The same for another program, found on PATH; status 127 when there is none.
ToolRun RunProgram(const std::string& program, const std::vector<std::string>& args,
                   const RunOptions& options = {});

// The lines of text, without their newlines.
std::vector<std::string> Lines(const std::string& text);

// The last line a terminal shows after text: carriage returns, line feeds
// and "erase to the end of the line" (ESC [ K) applied. Empty when the
// text leaves the cursor at the start of a clean line.
std::string LastScreenLine(const std::string& text);

}  // namespace orvell_test

#endif
