// orvell write FILE [--title T] ... [--clear FIELD]...: one write block,
// one OV_WriteTags call.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "block_codec.h"
#include "commands.h"
#include "messages.h"
#include "orvell.h"

namespace orvell_tool {
namespace {

using orvell_blocks::kFieldNames;
using orvell_blocks::kWriteRecords;

struct WriteOptions {
  std::string file;
  std::array<std::string, kWriteRecords> values;
  std::array<CLI::Option*, kWriteRecords> set_options{};
  std::vector<std::string> clear;
};

// "--album-artist" for album_artist.
std::string OptionName(size_t field) {
  std::string name = std::string("--") + kFieldNames[field];
  for (char& c : name) c = c == '_' ? '-' : c;
  return name;
}

// A number the write block takes: digits only, at most 2147483647.
std::string CheckNumber(const std::string& value) {
  const std::string error = "must be a whole number from 0 to 2147483647, not '" + value + "'";
  if (value.empty() || value.size() > 10) return error;
  for (char c : value) {
    if (c < '0' || c > '9') return error;
  }
  return std::stoll(value) > 2147483647 ? error : "";
}

// The write block of the options. Throws CLI::ValidationError for a
// combination the block cannot express: a field both set and cleared,
// --clear track with --track-total (clearing the track removes its total),
// or nothing to change at all.
std::string BuildBlock(const WriteOptions& options) {
  using orvell_blocks::Action;
  orvell_blocks::WriteRecords records;
  for (size_t i = 0; i < kWriteRecords; ++i) {
    if (options.set_options[i]->count() > 0) records[i] = {Action::Set, options.values[i]};
  }
  bool any = false;
  for (size_t i = 0; i < kWriteRecords; ++i) any = any || records[i].action == Action::Set;
  for (const std::string& name : options.clear) {
    for (size_t i = 0; i < kWriteRecords; ++i) {
      if (name != kFieldNames[i]) continue;
      if (records[i].action == Action::Set) {
        throw CLI::ValidationError("--clear", name + " is also set by " + OptionName(i));
      }
      records[i] = {Action::Clear, ""};
      any = true;
    }
  }
  if (records[orvell_blocks::kTrack].action == Action::Clear &&
      records[orvell_blocks::kTrackTotal].action == Action::Set) {
    throw CLI::ValidationError("--clear",
                               "track removes the track total too; it cannot go with --track-total");
  }
  if (!any) throw CLI::ValidationError("write", "nothing to write: give a field option or --clear");
  return orvell_blocks::EncodeWriteBlock(records);
}

int RunWrite(const std::string& file, const std::string& block) {
  const int32_t result =
      OV_WriteTags(file.c_str(), block.c_str(), static_cast<int32_t>(block.size() + 1));
  if (result >= 0) return kExitOk;
  ReportFailure(file, DescribeResult(Export::kWriteTags, result));
  return kExitFailure;
}

}  // namespace

void AddWriteCommand(CLI::App& app, Command& command) {
  auto options = std::make_shared<WriteOptions>();
  CLI::App* write = app.add_subcommand(
      "write", "Set or clear tags of one file, with a single save; other tags stay as they are");
  write->add_option("FILE", options->file, "Audio file to change")
      ->required()
      ->check([](const std::string& value) { return value.empty() ? "empty file name" : ""; });
  for (size_t i = 0; i < kWriteRecords; ++i) {
    const bool text = orvell_blocks::IsTextField(i);
    std::string label = orvell_blocks::kFieldNames[i];
    for (char& c : label) c = c == '_' ? ' ' : c;
    CLI::Option* option = write->add_option(
        OptionName(i), options->values[i],
        text ? "Set the " + label + " (UTF-8; \"\" empties it)"
             : "Set the " + label + " (0 to 2147483647)");
    if (!text) option->type_name("N")->check(CheckNumber);
    options->set_options[i] = option;
  }
  write
      ->add_option("--clear", options->clear,
                   "Clear a field (a name of read --json: title, album_artist, track_total, ...); "
                   "repeatable")
      ->type_name("FIELD")
      ->expected(1)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->delimiter(',')
      ->check(CLI::IsMember(std::vector<std::string>(kFieldNames.begin(),
                                                     kFieldNames.begin() + kWriteRecords)));
  write->callback([options, &command] {
    const std::string block = BuildBlock(*options);
    command = [file = options->file, block] { return RunWrite(file, block); };
  });
}

}  // namespace orvell_tool
