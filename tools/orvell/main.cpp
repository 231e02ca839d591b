// orvell: read, write and scan audio file tags, and export covers, through
// liborvell.
#include <cstdio>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "orvell.h"
#include "usage.h"

namespace orvell_tool {
namespace {

// The command named word, or nullptr.
const CLI::App* FindCommand(const CLI::App& app, const std::string& word) {
  for (const CLI::App* sub : app.get_subcommands({})) {
    if (sub->check_name(word)) return sub;
  }
  return nullptr;
}

// `orvell help [COMMAND]`: the help of the tool or of one command, as
// `--help` prints it.
void AddHelpCommand(CLI::App& app, Command& command) {
  auto topic = std::make_shared<std::string>();
  CLI::App* help = app.add_subcommand("help", "Print the help of orvell, or of one command");
  help->add_option("COMMAND", *topic, "read, write, scan, undo, cover or help");
  help->callback([&app, topic, &command] {
    const CLI::App* about = topic->empty() ? &app : FindCommand(app, *topic);
    if (about == nullptr) {
      std::vector<std::string> names;
      for (const CLI::App* sub : app.get_subcommands({})) names.push_back(sub->get_name());
      throw CLI::ValidationError("help", "unknown command '" + *topic + "'" +
                                             Suggestion(*topic, names));
    }
    const std::string usage = about == &app ? app.get_name() : app.get_name() + " " + *topic;
    const std::string text =
        about->get_formatter()->make_help(about, usage, CLI::AppFormatMode::Normal);
    command = [text] {
      std::fputs(text.c_str(), stdout);
      return kExitOk;
    };
  });
}

}  // namespace
}  // namespace orvell_tool

int main(int argc, char** argv) {
  using namespace orvell_tool;
  CLI::App app{"Read and write the tags of audio files with liborvell.", "orvell"};
  app.require_subcommand(1);
  app.set_version_flag("-V,--version", std::to_string(ORVELL_VERSION_MAJOR) + "." +
                                           std::to_string(ORVELL_VERSION_MINOR) + "." +
                                           std::to_string(ORVELL_VERSION_PATCH));
  app.footer("Run 'orvell help COMMAND' or 'man orvell' for more.");
  Command command;
  AddReadCommand(app, command);
  AddWriteCommand(app, command);
  AddScanCommand(app, command);
  AddUndoCommand(app, command);
  AddCoverCommand(app, command);
  AddHelpCommand(app, command);

  // No command, or a first word that is no command and no option of
  // orvell's own, is named as such rather than left to CLI11.
  if (argc < 2) return ReportUsage("no command given: read, write, scan, undo, cover or help", "");
  const std::string first = argv[1];
  if (FindCommand(app, first) == nullptr && first != "-h" && first != "--help" && first != "-V" &&
      first != "--version") {
    return ReportUnknownFirstWord(app, first);
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here too, with status 0, printed by CLI11.
    if (e.get_exit_code() == 0) {
      app.exit(e);
      return kExitOk;
    }
    return ReportParseError(app, e);
  }
  return command ? command() : kExitUsage;
}
