// orvell: read, write and scan audio file tags through liborvell.
#include <string>

#include <CLI/CLI.hpp>

#include "commands.h"
#include "orvell.h"

int main(int argc, char** argv) {
  using namespace orvell_tool;
  CLI::App app{"Read and write the tags of audio files with liborvell.", "orvell"};
  app.require_subcommand(1);
  app.set_version_flag("--version", std::to_string(ORVELL_VERSION_MAJOR) + "." +
                                        std::to_string(ORVELL_VERSION_MINOR) + "." +
                                        std::to_string(ORVELL_VERSION_PATCH));
  Command command;
  AddReadCommand(app, command);
  AddWriteCommand(app, command);
  AddScanCommand(app, command);
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    // --help and --version end here too, with status 0.
    return app.exit(e) == 0 ? kExitOk : kExitUsage;
  }
  return command ? command() : kExitUsage;
}
