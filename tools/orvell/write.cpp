// orvell write [--title T] ... [--clear FIELD]... [--number-tracks]
// [--journal FILE] FILE...: one write block, checked before any file is
// touched, and one OV_WriteTags call per file.
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "block_codec.h"
#include "commands.h"
#include "journal.h"
#include "messages.h"
#include "orvell.h"
#include "tags.h"
#include "usage.h"

namespace orvell_tool {
namespace {

using orvell_blocks::kFieldNames;
using orvell_blocks::kWriteRecords;

struct WriteOptions {
  std::vector<std::string> files;
  std::array<std::string, kWriteRecords> values;
  std::array<CLI::Option*, kWriteRecords> set_options{};
  std::vector<std::string> clear;
  bool number_tracks = false;
  std::string journal;
  bool quiet = false;
};

// "--album-artist" for album_artist.
std::string OptionName(size_t field) {
  std::string name = std::string("--") + kFieldNames[field];
  for (char& c : name) c = c == '_' ? '-' : c;
  return name;
}

// A number the write block takes: digits only, at most 2147483647.
bool IsNumber(const std::string& value) {
  if (value.empty() || value.size() > 10) return false;
  for (char c : value) {
    if (c < '0' || c > '9') return false;
  }
  return std::stoll(value) <= 2147483647;
}

std::string CheckNumber(const std::string& value) {
  return IsNumber(value) ? "" : "must be a whole number from 0 to 2147483647, not '" + value + "'";
}

// --clear takes the names of the writable fields.
std::string CheckFieldName(const std::string& value) {
  const std::vector<std::string> names(kFieldNames.begin(), kFieldNames.begin() + kWriteRecords);
  for (const std::string& name : names) {
    if (value == name) return "";
  }
  const std::string suggestion = Suggestion(value, names);
  return "'" + value + "' is not a field that can be written" +
         (suggestion.empty() ? ": the fields are title, artist, album_artist, album, genre, "
                               "comment, composer, conductor, year, track, track_total, disc "
                               "and disc_total"
                             : suggestion);
}

// --track and --disc also take the number and the total: "3/12".
std::string CheckNumberOrPair(const std::string& value) {
  const size_t slash = value.find('/');
  if (slash == std::string::npos ? IsNumber(value)
                                 : IsNumber(value.substr(0, slash)) && IsNumber(value.substr(slash + 1))) {
    return "";
  }
  return "must be a whole number from 0 to 2147483647, or a number and a total such as 3/12, "
         "not '" + value + "'";
}

// The write records of the options. Throws CLI::ValidationError for a
// combination the block cannot express: a field both set and cleared, a
// total given twice (--track 3/12 --track-total 12), --clear track with a
// track total (clearing the track removes its total), --number-tracks with
// any other change of the track or its total, or nothing to change at all.
orvell_blocks::WriteRecords BuildRecords(const WriteOptions& options) {
  using orvell_blocks::Action;
  orvell_blocks::WriteRecords records;
  for (size_t i = 0; i < kWriteRecords; ++i) {
    if (options.set_options[i]->count() > 0) records[i] = {Action::Set, options.values[i]};
  }
  // "3/12" sets the number and its total.
  for (size_t number : {orvell_blocks::kTrack, orvell_blocks::kDisc}) {
    const std::string value = records[number].value;
    const size_t slash = value.find('/');
    if (slash == std::string::npos) continue;
    if (records[number + 1].action == Action::Set) {
      throw CLI::ValidationError(OptionName(number),
                                 "gives the total too; it cannot go with " + OptionName(number + 1));
    }
    records[number].value = value.substr(0, slash);
    records[number + 1] = {Action::Set, value.substr(slash + 1)};
  }
  bool any = false;
  for (size_t i = 0; i < kWriteRecords; ++i) any = any || records[i].action == Action::Set;
  for (const std::string& name : options.clear) {
    for (size_t i = 0; i < kWriteRecords; ++i) {
      if (name != kFieldNames[i]) continue;
      if (records[i].action == Action::Set) {
        // A total not set by its own option came with its number: 3/12.
        const size_t by = options.set_options[i]->count() > 0 ? i : i - 1;
        throw CLI::ValidationError("--clear", name + " is also set by " + OptionName(by));
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
  if (options.number_tracks) {
    for (size_t field : {orvell_blocks::kTrack, orvell_blocks::kTrackTotal}) {
      if (records[field].action == Action::Keep) continue;
      throw CLI::ValidationError(
          "--number-tracks", "sets the track and its total; it cannot go with " +
                                 (records[field].action == Action::Clear
                                      ? "--clear " + std::string(kFieldNames[field])
                                      : OptionName(options.set_options[field]->count() > 0
                                                       ? field
                                                       : orvell_blocks::kTrack)));
    }
    any = true;
  }
  if (!any) {
    throw CLI::ValidationError("write",
                               "nothing to write: give a field option, --clear or --number-tracks");
  }
  return records;
}

enum class Outcome { kWritten, kFailed, kNotJournaled };

// Writes block to file and reports a failure. With a journal, the fields
// are read before the write, so that their old values are known (a file
// that cannot be read is not written), and after it, so that the journal
// holds what the file now holds rather than what was asked for. The library
// opens regular files only, so a directory, FIFO or device gives -3 at
// once; the cause is found after.
Outcome WriteFile(const std::string& file, const std::string& block, JournalWriter* journal,
                  TagReader& reader) {
  WritableFields before;
  if (journal != nullptr) {
    const FileTags& tags = reader.Read(file);
    if (!tags.ok()) {
      ReportFailure(file, tags.error);
      return Outcome::kFailed;
    }
    before = CopyWritable(tags.fields);
  }
  const int32_t result =
      OV_WriteTags(file.c_str(), block.c_str(), static_cast<int32_t>(block.size() + 1));
  if (result < 0) {
    ReportFailure(file, DescribeFailure(Export::kWriteTags, result, file));
    return Outcome::kFailed;
  }
  if (journal == nullptr) return Outcome::kWritten;
  const FileTags& tags = reader.Read(file);
  const std::string error = tags.ok() ? journal->Append(file, before, CopyWritable(tags.fields))
                                      : "written, but not read back for the journal: " + tags.error;
  if (error.empty()) return Outcome::kWritten;
  ReportFailure(file, error);
  return Outcome::kNotJournaled;
}

// Applies the records to every file in turn, with track i of N on the i-th
// of N files when they are numbered; a file that fails is reported and the
// others are still written, unless the journal cannot take their records.
int RunWrite(const WriteOptions& options, orvell_blocks::WriteRecords records) {
  JournalWriter journal;
  if (!options.journal.empty()) {
    const std::string error = journal.Open(options.journal);
    if (!error.empty()) {
      ReportFailure(options.journal, error);
      return kExitFailure;
    }
  }
  TagReader reader;
  std::string block = orvell_blocks::EncodeWriteBlock(records);
  size_t written = 0;
  size_t failed = 0;
  for (size_t i = 0; i < options.files.size(); ++i) {
    if (options.number_tracks) {
      records[orvell_blocks::kTrack] = {orvell_blocks::Action::Set, std::to_string(i + 1)};
      records[orvell_blocks::kTrackTotal] = {orvell_blocks::Action::Set,
                                             std::to_string(options.files.size())};
      block = orvell_blocks::EncodeWriteBlock(records);
    }
    const Outcome outcome = WriteFile(options.files[i], block,
                                      options.journal.empty() ? nullptr : &journal, reader);
    if (outcome == Outcome::kWritten) {
      ++written;
      continue;
    }
    ++failed;
    if (outcome == Outcome::kNotJournaled) {
      ReportFailure(options.journal, "no further file written");
      break;
    }
  }
  if (!options.quiet) ReportSummary(written, "written", failed);
  return failed == 0 ? kExitOk : kExitFailure;
}

}  // namespace

void AddWriteCommand(CLI::App& app, Command& command) {
  auto options = std::make_shared<WriteOptions>();
  CLI::App* write = app.add_subcommand(
      "write",
      "Set or clear tags of each file, with a single save per file; other tags stay as they are");
  write->add_option("FILE", options->files, "Audio files to change, each the same way")
      ->required()
      ->check([](const std::string& value) { return value.empty() ? "empty file name" : ""; });
  for (size_t i = 0; i < kWriteRecords; ++i) {
    const bool text = orvell_blocks::IsTextField(i);
    const bool pair = i == orvell_blocks::kTrack || i == orvell_blocks::kDisc;
    std::string label = orvell_blocks::kFieldNames[i];
    for (char& c : label) c = c == '_' ? ' ' : c;
    std::string help = "Set the " + label;
    if (text) {
      help += " (UTF-8; \"\" empties it)";
    } else if (pair) {
      help += " (0 to 2147483647), or the " + label + " and its total: 3/12";
    } else {
      help += " (0 to 2147483647)";
    }
    CLI::Option* option = write->add_option(OptionName(i), options->values[i], help);
    if (pair) {
      option->type_name("N[/TOTAL]")->check(CheckNumberOrPair);
    } else if (!text) {
      option->type_name("N")->check(CheckNumber);
    }
    options->set_options[i] = option;
  }
  write
      ->add_option("--clear", options->clear,
                   "Clear a field (a name of read --json: title, album_artist, track_total, ...); "
                   "repeatable")
      ->type_name("FIELD")
      ->expected(1)
      // One value per --clear, so that the files may follow it.
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->delimiter(',')
      ->check(CheckFieldName);
  write->add_flag("--number-tracks", options->number_tracks,
                  "Set track 1 to N and the track total N on the N files, in the order given");
  write
      ->add_option("--journal", options->journal,
                   "Append the old and new value of every field changed to FILE (JSON Lines), "
                   "for orvell undo")
      ->type_name("FILE")
      ->envname("ORVELL_JOURNAL")
      ->check([](const std::string& value) { return value.empty() ? "empty file name" : ""; });
  write->add_flag("-q,--quiet", options->quiet, "No summary line at the end");
  write->callback([options, &command] {
    const orvell_blocks::WriteRecords records = BuildRecords(*options);
    command = [options, records] { return RunWrite(*options, records); };
  });
}

}  // namespace orvell_tool
