#include "usage.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "commands.h"

namespace orvell_tool {
namespace {

// Edits between a and b: insertions, deletions, substitutions and swaps of
// neighbouring letters ("tilte" for "title" is one).
size_t Distance(const std::string& a, const std::string& b) {
  std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
  for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
  for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j) {
      d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1,
                          d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
      }
    }
  }
  return d[a.size()][b.size()];
}

void PrintHelpLine(const std::string& command) {
  std::fprintf(stderr, "Run 'orvell %s--help' for more information.\n",
               command.empty() ? "" : (command + " ").c_str());
}

// The names a user may type in app: its subcommands, or its options.
std::vector<std::string> Names(const CLI::App& app, bool commands) {
  std::vector<std::string> names;
  if (commands) {
    for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
    return names;
  }
  for (const CLI::Option* option : app.get_options()) {
    for (const std::string& name : option->get_lnames()) names.push_back("--" + name);
    for (const std::string& name : option->get_snames()) names.push_back("-" + name);
  }
  return names;
}

// "read, write, scan, undo and help".
std::string Listed(const std::vector<std::string>& names) {
  std::string text;
  for (size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " and " : ", ";
    text += names[i];
  }
  return text;
}

}  // namespace

std::string Nearest(const std::string& word, const std::vector<std::string>& names) {
  const size_t letters = word.size() - std::min(word.find_first_not_of('-'), word.size());
  std::string nearest;
  size_t best = letters / 3 + 1;
  for (const std::string& name : names) {
    const size_t distance = Distance(word, name);
    if (distance > 0 && distance < best) {
      best = distance;
      nearest = name;
    }
  }
  return nearest;
}

std::string Suggestion(const std::string& word, const std::vector<std::string>& names) {
  const std::string nearest = Nearest(word, names);
  return nearest.empty() ? "" : " (did you mean '" + nearest + "'?)";
}

int ReportUsage(const std::string& what, const std::string& command) {
  std::fprintf(stderr, "orvell: %s\n", what.c_str());
  PrintHelpLine(command);
  return kExitUsage;
}

int ReportUnknownFirstWord(const CLI::App& app, const std::string& word) {
  if (word.empty() || word[0] != '-') {
    const std::vector<std::string> commands = Names(app, true);
    const std::string nearest = Nearest(word, commands);
    return ReportUsage("unknown command '" + word + "'" +
                           (nearest.empty() ? ": the commands are " + Listed(commands)
                                            : " (did you mean '" + nearest + "'?)"),
                       "");
  }
  const std::string name = word.substr(0, word.find('='));
  return ReportUsage("unknown option '" + name + "'" + Suggestion(name, Names(app, false)) +
                         ": a command comes first, then its options",
                     "");
}

int ReportParseError(const CLI::App& app, const CLI::ParseError& error) {
  // The command being parsed, whose options a mistyped one is compared with.
  const CLI::App* command = &app;
  for (const CLI::App* sub : app.get_subcommands()) command = sub;
  const std::string name = command == &app ? "" : command->get_name();
  if (dynamic_cast<const CLI::ExtrasError*>(&error) == nullptr) {
    std::string what = error.what();
    // CLI11 starts some messages with a capital: "Could not convert".
    if (what.size() > 1 && std::isupper(static_cast<unsigned char>(what[0])) &&
        std::islower(static_cast<unsigned char>(what[1]))) {
      what[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(what[0])));
    }
    return ReportUsage(what, name);
  }
  const std::vector<std::string> options = Names(*command, false);
  for (const std::string& extra : app.remaining(true)) {
    if (extra.size() > 1 && extra[0] == '-') {
      const std::string option = extra.substr(0, extra.find('='));
      std::fprintf(stderr, "orvell: unknown option '%s'%s\n", option.c_str(),
                   Suggestion(option, options).c_str());
    } else {
      std::fprintf(stderr, "orvell: unexpected argument '%s'\n", extra.c_str());
    }
  }
  PrintHelpLine(name);
  return kExitUsage;
}

}  // namespace orvell_tool
