// The subcommands of the orvell tool and what they share: exit statuses
// and the way a subcommand hands its work back to main.
#ifndef ORVELL_TOOLS_ORVELL_COMMANDS_H
#define ORVELL_TOOLS_ORVELL_COMMANDS_H

#include <functional>

#include <CLI/CLI.hpp>

namespace orvell_tool {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;  // an operation failed
constexpr int kExitUsage = 2;    // the command line was wrong

// Parsing a subcommand stores its work here; main runs it once parsing has
// finished, so that every usage error is reported before any file is
// touched. A callback that finds a usage error throws CLI::ValidationError.
using Command = std::function<int()>;

void AddReadCommand(CLI::App& app, Command& command);
void AddWriteCommand(CLI::App& app, Command& command);
void AddScanCommand(CLI::App& app, Command& command);
void AddUndoCommand(CLI::App& app, Command& command);
void AddCoverCommand(CLI::App& app, Command& command);

}  // namespace orvell_tool

#endif
