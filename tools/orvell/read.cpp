// orvell read [--all] [--json] FILE...: all fields of each file, one
// OV_ReadTags call per file; with --all, and always in JSON, also the
// format, every property and the list of pictures.
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
  bool all = false;
};

int RunRead(const ReadOptions& options) {
  int status = kExitOk;
  bool first = true;
  TagReader reader(options.all || options.json ? TagReader::Reach::kEverything
                                                : TagReader::Reach::kFields);
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
      text += Listing(file, tags);
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
  read->add_flag("--all", options->all,
                 "Also the format (told by the file name), every property of the tag as "
                 "KEY=VALUE, and a line per picture: type, MIME type, size");
  read->add_flag("--json", options->json,
                 "One JSON object per file (JSON Lines), fields under snake_case names, then "
                 "\"format\", \"properties\" and \"pictures\"; a file that cannot be read "
                 "gets its error");
  read->callback([options, &command] { command = [options] { return RunRead(*options); }; });
}

}  // namespace orvell_tool
