// orvell write [--title T] ... [--clear FIELD]... [--number-tracks]
// [--set KEY=VALUE]... [--remove KEY]... [--cover IMAGE] [--remove-covers]
// [--journal FILE] FILE...: every change checked before any file is
// touched, then per file one OV_WriteTags call for the fields, one
// OV_WriteProperties call for the property keys, and one call for each
// change of the pictures.
#include <array>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "block_codec.h"
#include "commands.h"
#include "format.h"
#include "journal.h"
#include "messages.h"
#include "orvell.h"
#include "orvell_block.h"
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
  std::vector<std::string> set;     // KEY=VALUE
  std::vector<std::string> remove;  // KEY
  std::string cover;                // the image file
  bool remove_covers = false;
  std::string journal;
  bool quiet = false;
};

// Property keys with their new values, in upper case as the library keeps
// them; no values removes the key.
using PropertyChanges = std::vector<std::pair<std::string, std::vector<std::string>>>;

// Everything one write does to each file, checked.
struct WritePlan {
  orvell_blocks::WriteRecords records;
  bool fields = false;  // a field to set or clear
  PropertyChanges properties;
  std::string cover;  // the front cover's bytes; empty for none
  bool remove_covers = false;
};

// The property keys each writable field is kept under, in field order, so
// that a write names no key twice: once as a field, once as a key.
const std::array<std::vector<const char*>, kWriteRecords> kFieldKeys = {{
    {"TITLE"}, {"ARTIST"}, {"ALBUMARTIST"}, {"ALBUM"}, {"GENRE"}, {"COMMENT", "DESCRIPTION"},
    {"COMPOSER"}, {"CONDUCTOR"}, {"DATE"},
    {"TRACKNUMBER", "TRACKTOTAL", "TOTALTRACKS"}, {"TRACKNUMBER", "TRACKTOTAL", "TOTALTRACKS"},
    {"DISCNUMBER", "DISCTOTAL", "TOTALDISCS"}, {"DISCNUMBER", "DISCTOTAL", "TOTALDISCS"},
}};

// "--album-artist" for album_artist.
std::string OptionName(size_t field) {
  std::string name = std::string("--") + kFieldNames[field];
  for (char& c : name) c = c == '_' ? '-' : c;
  return name;
}

// --set and --remove take property keys: printable ASCII without "=".
std::string CheckKey(const std::string& key) {
  return IsPropertyKey(key) ? ""
                            : "'" + key + "' is not a property key: 1 to 255 characters of "
                                          "printable ASCII, without '='";
}

std::string CheckKeyAndValue(const std::string& value) {
  const size_t equals = value.find('=');
  if (equals == std::string::npos) return "must be KEY=VALUE, not '" + value + "'";
  return CheckKey(value.substr(0, equals));
}

std::string Upper(std::string key) {
  for (char& c : key) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  return key;
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
// track total (clearing the track removes its total), or --number-tracks
// with any other change of the track or its total.
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
  for (const std::string& name : options.clear) {
    for (size_t i = 0; i < kWriteRecords; ++i) {
      if (name != kFieldNames[i]) continue;
      if (records[i].action == Action::Set) {
        // A total not set by its own option came with its number: 3/12.
        const size_t by = options.set_options[i]->count() > 0 ? i : i - 1;
        throw CLI::ValidationError("--clear", name + " is also set by " + OptionName(by));
      }
      records[i] = {Action::Clear, ""};
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
  }
  return records;
}

// The option that writes field, as a user gave it.
std::string FieldOption(const WriteOptions& options, const orvell_blocks::WriteRecords& records,
                        size_t field) {
  if (records[field].action == orvell_blocks::Action::Clear) {
    return "--clear " + std::string(kFieldNames[field]);
  }
  if (options.set_options[field]->count() > 0) return OptionName(field);
  if (field == orvell_blocks::kTrack || field == orvell_blocks::kTrackTotal) {
    if (options.number_tracks) return "--number-tracks";
  }
  return OptionName(field - 1);  // a total given with its number: --track 3/12
}

// The keys of --set and --remove, each once, with its values in the order
// given. Throws CLI::ValidationError for a key both set and removed, or one
// a field option of the same write also writes.
PropertyChanges BuildPropertyChanges(const WriteOptions& options,
                                     const orvell_blocks::WriteRecords& records) {
  PropertyChanges changes;
  const auto entry = [&changes](const std::string& key) -> std::vector<std::string>& {
    for (auto& [named, values] : changes) {
      if (named == key) return values;
    }
    return changes.emplace_back(key, std::vector<std::string>()).second;
  };
  for (const std::string& setting : options.set) {
    const size_t equals = setting.find('=');
    entry(Upper(setting.substr(0, equals))).push_back(setting.substr(equals + 1));
  }
  for (const std::string& key : options.remove) {
    if (!entry(Upper(key)).empty()) {
      throw CLI::ValidationError("--remove", Upper(key) + " is also set by --set");
    }
  }
  for (const auto& [key, values] : changes) {
    for (size_t field = 0; field < kWriteRecords; ++field) {
      const bool written = records[field].action != orvell_blocks::Action::Keep ||
                           (options.number_tracks && (field == orvell_blocks::kTrack ||
                                                      field == orvell_blocks::kTrackTotal));
      if (!written) continue;
      for (const char* field_key : kFieldKeys[field]) {
        if (key != field_key) continue;
        throw CLI::ValidationError(values.empty() ? "--remove" : "--set",
                                   key + " is also written by " +
                                       FieldOption(options, records, field));
      }
    }
  }
  return changes;
}

// The bytes of the image --cover names, which must be one whose bytes
// tell its type, as the library tells the MIME type from them.
std::string ReadImage(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes;
  if (in) bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    throw CLI::ValidationError("--cover", path + ": cannot read: " + DescribeError(errno));
  }
  if (bytes.size() > 2147483647u) throw CLI::ValidationError("--cover", path + ": too large");
  if (ImageExtension("", bytes) == "bin") {
    throw CLI::ValidationError("--cover",
                               path + ": not a JPEG, PNG, GIF, BMP or WebP image");
  }
  return bytes;
}

WritePlan BuildPlan(const WriteOptions& options) {
  WritePlan plan;
  plan.records = BuildRecords(options);
  for (const orvell_blocks::WriteRecord& record : plan.records) {
    plan.fields = plan.fields || record.action != orvell_blocks::Action::Keep;
  }
  plan.fields = plan.fields || options.number_tracks;
  plan.properties = BuildPropertyChanges(options, plan.records);
  if (!options.cover.empty()) plan.cover = ReadImage(options.cover);
  plan.remove_covers = options.remove_covers;
  if (!plan.fields && plan.properties.empty() && plan.cover.empty() && !plan.remove_covers) {
    throw CLI::ValidationError("write",
                               "nothing to write: give a field option, --clear, --number-tracks, "
                               "--set, --remove, --cover or --remove-covers");
  }
  return plan;
}

// The property block of OV_WriteProperties for changes, NUL included, built
// with the helpers of orvell_block.h: sized first, then written.
std::string PropertyBlock(const PropertyChanges& changes) {
  std::string block;
  OV_BlockWriter writer;
  for (int pass = 0; pass < 2; ++pass) {
    OV_WriterStart(&writer, block.empty() ? nullptr : block.data(),
                   static_cast<int32_t>(block.size()));
    for (const auto& [key, values] : changes) {
      OV_WriterKey(&writer, key.c_str(), static_cast<int32_t>(values.size()));
      for (const std::string& value : values) OV_WriterField(&writer, value.data(), value.size());
    }
    block.resize(static_cast<size_t>(OV_WriterEnd(&writer)));
  }
  return block;
}

enum class Outcome { kWritten, kFailed, kNotJournaled };

// The state of a file a journal compares: its writable fields, and with
// property changes, its properties.
struct Before {
  WritableFields fields;
  PropertyValues properties;
};

bool ReadState(const std::string& file, TagReader& reader, Before& state, std::string& error) {
  const FileTags& tags = reader.Read(file);
  if (!tags.ok()) {
    error = tags.error;
    return false;
  }
  state.fields = CopyWritable(tags.fields);
  state.properties = CopyProperties(tags.properties);
  return true;
}

// Makes the calls of the plan on file, in turn: the fields (block), the
// property keys (properties), the removal of every picture, the front
// cover. Each is a save of its own; the first that fails is reported and
// ends the file's changes. With a journal, the file is read before (one
// that cannot be read is not written) and after, so that the journal holds
// what the file now holds rather than what was asked for, also when a
// later call failed after an earlier one saved. The library opens regular
// files only, so a directory, FIFO or device fails at once.
Outcome WriteFile(const std::string& file, const WritePlan& plan, const std::string& block,
                  const std::string& properties, JournalWriter* journal, TagReader& reader) {
  Before before;
  std::string error;
  if (journal != nullptr && !ReadState(file, reader, before, error)) {
    ReportFailure(file, error);
    return Outcome::kFailed;
  }
  const char* path = file.c_str();
  bool saved = false;
  // Whether the call succeeded; a failure is reported right after it.
  const auto succeeded = [&](Export e, int32_t result) {
    if (result < 0) ReportFailure(file, DescribeFailure(e, result, file));
    saved = saved || result > 0;
    return result >= 0;
  };
  const int32_t block_size = static_cast<int32_t>(block.size() + 1);
  const int32_t cover_size = static_cast<int32_t>(plan.cover.size());
  const bool ok =
      (!plan.fields ||
       succeeded(Export::kWriteTags, OV_WriteTags(path, block.c_str(), block_size))) &&
      (plan.properties.empty() ||
       succeeded(Export::kWriteProperties, OV_WriteProperties(path, properties.c_str()))) &&
      (!plan.remove_covers ||
       succeeded(Export::kRemovePictures, OV_RemovePictures(path, -1))) &&
      (plan.cover.empty() ||
       succeeded(Export::kSetPicture,
                 OV_SetPicture(path, 3, nullptr, nullptr, plan.cover.data(), cover_size)));
  if (journal == nullptr || !saved) return ok ? Outcome::kWritten : Outcome::kFailed;
  std::vector<std::string> keys;
  for (const auto& change : plan.properties) keys.push_back(change.first);
  Before after;
  if (ReadState(file, reader, after, error)) {
    error = journal->Append(file, JournalChanges(before.fields, after.fields, keys,
                                                 before.properties, after.properties));
  } else {
    error = "written, but not read back for the journal: " + error;
  }
  if (error.empty()) return ok ? Outcome::kWritten : Outcome::kFailed;
  ReportFailure(file, error);
  return Outcome::kNotJournaled;
}

// Applies the plan to every file in turn, with track i of N on the i-th of
// N files when they are numbered; a file that fails is reported and the
// others are still written, unless the journal cannot take their records.
int RunWrite(const WriteOptions& options, WritePlan plan) {
  JournalWriter journal;
  if (!options.journal.empty()) {
    const std::string error = journal.Open(options.journal);
    if (!error.empty()) {
      ReportFailure(options.journal, error);
      return kExitFailure;
    }
  }
  // The journal compares the keys a write names, read with the fields.
  TagReader reader(plan.properties.empty() ? TagReader::Reach::kFields
                                           : TagReader::Reach::kEverything);
  std::string block = orvell_blocks::EncodeWriteBlock(plan.records);
  const std::string properties = PropertyBlock(plan.properties);
  size_t written = 0;
  size_t failed = 0;
  for (size_t i = 0; i < options.files.size(); ++i) {
    if (options.number_tracks) {
      plan.records[orvell_blocks::kTrack] = {orvell_blocks::Action::Set, std::to_string(i + 1)};
      plan.records[orvell_blocks::kTrackTotal] = {orvell_blocks::Action::Set,
                                                  std::to_string(options.files.size())};
      block = orvell_blocks::EncodeWriteBlock(plan.records);
    }
    const Outcome outcome = WriteFile(options.files[i], plan, block, properties,
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
      ->add_option("--set", options->set,
                   "Set a property of the tag (MOOD=calm, MUSICBRAINZ_TRACKID=...); repeat a key "
                   "for several values; keys are taken in upper case")
      ->type_name("KEY=VALUE")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(CheckKeyAndValue);
  write
      ->add_option("--remove", options->remove, "Remove a property of the tag, all its values; "
                                                 "repeatable")
      ->type_name("KEY")
      ->expected(1)
      ->allow_extra_args(false)
      ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
      ->check(CheckKey);
  write
      ->add_option("--cover", options->cover,
                   "Embed IMAGE (JPEG, PNG, GIF, BMP or WebP) as the front cover, in the place "
                   "of any front cover")
      ->type_name("IMAGE")
      ->check([](const std::string& value) { return value.empty() ? "empty file name" : ""; });
  write->add_flag("--remove-covers", options->remove_covers,
                  "Remove every embedded picture (before --cover embeds its own)");
  write
      ->add_option("--journal", options->journal,
                   "Append the old and new value of every field changed to FILE (JSON Lines), "
                   "for orvell undo")
      ->type_name("FILE")
      ->envname("ORVELL_JOURNAL")
      ->check([](const std::string& value) { return value.empty() ? "empty file name" : ""; });
  write->add_flag("-q,--quiet", options->quiet, "No summary line at the end");
  write->callback([options, &command] {
    const WritePlan plan = BuildPlan(*options);
    command = [options, plan] { return RunWrite(*options, plan); };
  });
}

}  // namespace orvell_tool
