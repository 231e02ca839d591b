// Usage errors in the tool's own words: "orvell: what was wrong", with the
// nearest known name for a mistyped one, then where to find the help.
// They all end the tool with status 2 before any file is touched.
#ifndef ORVELL_TOOLS_ORVELL_USAGE_H
#define ORVELL_TOOLS_ORVELL_USAGE_H

#include <string>
#include <vector>

#include <CLI/CLI.hpp>

namespace orvell_tool {

// The name among names nearest to word (insertions, deletions,
// substitutions and swaps of neighbours each count one), or "" when none
// is near enough to be what was meant: at most one edit in three letters.
std::string Nearest(const std::string& word, const std::vector<std::string>& names);

// " (did you mean 'NAME'?)" for the name nearest to word, or "".
std::string Suggestion(const std::string& word, const std::vector<std::string>& names);

// Prints "orvell: what" and the line that points to the help of command
// ("" for the tool's own) on stderr; returns the usage status.
int ReportUsage(const std::string& what, const std::string& command);

// A word the tool does not take as its first: an unknown command, or an
// option that is not the tool's own.
int ReportUnknownFirstWord(const CLI::App& app, const std::string& word);

// A failed parse of the command line. Every argument left over is named:
// an unknown option with the nearest option of its command, anything else
// as unexpected; CLI11's other errors keep their words after "orvell: ".
int ReportParseError(const CLI::App& app, const CLI::ParseError& error);

}  // namespace orvell_tool

#endif
