// orvell: read, write and scan audio file tags through liborvell.
#include <cstdio>
#include <cstring>
#include <string>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "orvell.h"

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
  help->add_option("COMMAND", *topic, "read, write, scan or help");
  help->callback([&app, topic, &command] {
    const CLI::App* about = topic->empty() ? &app : FindCommand(app, *topic);
    if (about == nullptr) {
      throw CLI::ValidationError("orvell help", "unknown command '" + *topic + "'");
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
  AddHelpCommand(app, command);

  // A first word that is no command and no option of orvell's own is
  // named as such, rather than left to read as a missing command.
  if (argc > 1 && FindCommand(app, argv[1]) == nullptr) {
    const std::string word = argv[1];
    const bool option = word[0] == '-';
    if (!option || (word != "-h" && word != "--help" && word != "-V" && word != "--version")) {
      std::fprintf(stderr,
                   "orvell: unknown %s '%s': the commands are read, write, scan and help\n"
                   "Run with --help for more information.\n",
                   option ? "option" : "command", word.c_str());
      return kExitUsage;
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here too, with status 0.
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  }
  return command ? command() : kExitUsage;
}
