// orvell read [--json] FILE...: all fields of each file, one OV_ReadTags
// call per file.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "format.h"
#include "messages.h"
#include "tags.h"

namespace orvell_tool {
namespace {

struct ReadOptions {
  std::vector<std::string> files;
  bool json = false;
};

int RunRead(const ReadOptions& options) {
  int status = kExitOk;
  bool first = true;
  TagReader reader;
  RecordWriter json(RecordWriter::Format::kJson);
  std::string text;
  for (const std::string& file : options.files) {
    const FileTags& tags = reader.Read(file);
    text.clear();
    if (!tags.ok()) {
      ReportFailure(file, tags.error);
      status = kExitFailure;
      // JSON Lines get a record with the error, as a scan's do.
      if (!options.json) continue;
    }
    if (options.json) {
      json.Append(text, file, tags);
    } else {
      if (!first) text += "\n";
      text += Listing(file, tags.fields);
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    first = false;
  }
  return status;
}

}  // namespace

void AddReadCommand(CLI::App& app, Command& command) {
  auto options = std::make_shared<ReadOptions>();
  CLI::App* read = app.add_subcommand("read", "Print all tags and audio properties of each file");
  read->add_option("FILE", options->files, "Audio files to read")->required();
  read->add_flag("--json", options->json,
                 "One JSON object per file (JSON Lines), fields under snake_case names; "
                 "a file that cannot be read gets its error");
  read->callback([options, &command] { command = [options] { return RunRead(*options); }; });
}

}  // namespace orvell_tool
