// orvell undo [--quiet] JOURNAL: puts back the values the journaled writes
// replaced, in every field and property key that still holds a value they
// gave it.
#include <array>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "block_codec.h"
#include "commands.h"
#include "journal.h"
#include "messages.h"
#include "orvell.h"
#include "orvell_block.h"
#include "tags.h"

namespace orvell_tool {
namespace {

using nlohmann::ordered_json;
using orvell_blocks::kFieldNames;
using orvell_blocks::kWriteRecords;

struct UndoOptions {
  std::string journal;
  bool quiet = false;
};

enum class Undone { kRestored, kUnchanged, kFailed };

// The write record that gives field its journal value back. An empty text
// was no text: the field is cleared, so that a key the file did not have
// is removed again. A number the file did not have is set to 0, which also
// keeps a track total that a clear of the track would remove.
orvell_blocks::WriteRecord Restoring(size_t field, const ordered_json& value) {
  using orvell_blocks::Action;
  if (!orvell_blocks::IsTextField(field)) {
    return {Action::Set, value.is_null() ? "0" : std::to_string(value.get<long long>())};
  }
  const std::string& text = value.get_ref<const std::string&>();
  return text.empty() ? orvell_blocks::WriteRecord{Action::Clear, ""}
                      : orvell_blocks::WriteRecord{Action::Set, text};
}

// The value that takes back, latest first, the changes of one field or
// key (in journal order) from a file that holds now. A value that a change
// gave gets the value before that change. One from earlier in the journal
// (the value before the change, or one an earlier change gave or replaced)
// is already taken back that far, so the change is passed over. Any other
// value was set since: changed_since is set, and the value and the
// field's earlier changes are left.
ordered_json Unwound(const ordered_json& now, const std::vector<const JournalChange*>& changes,
                     bool& changed_since) {
  ordered_json value = now;
  changed_since = false;
  for (size_t k = changes.size(); k-- > 0;) {
    if (value == changes[k]->new_value) {
      value = changes[k]->old_value;
      continue;
    }
    bool earlier = value == changes[k]->old_value;
    for (size_t j = 0; j < k && !earlier; ++j) {
      earlier = value == changes[j]->old_value || value == changes[j]->new_value;
    }
    if (!earlier) {
      changed_since = true;
      break;
    }
  }
  return value;
}

// Takes back the records of one file, field by field and key by key. A
// field or key changed since is reported and left. The fields are saved
// with one OV_WriteTags call and the keys with one OV_WriteProperties call,
// each only when something in it changes.
Undone UndoFile(const std::string& file, const std::vector<const JournalRecord*>& records,
                TagReader& reader) {
  const FileTags& tags = reader.Read(file);
  if (!tags.ok()) {
    ReportFailure(file, tags.error);
    return Undone::kFailed;
  }
  std::array<std::vector<const JournalChange*>, kWriteRecords> history;
  std::map<std::string, std::vector<const JournalChange*>> key_history;
  std::set<std::string> unknown;
  for (const JournalRecord* record : records) {
    for (const JournalChange& change : record->changes) {
      if (change.IsProperty()) {
        key_history[change.key].push_back(&change);
      } else {
        history[change.field].push_back(&change);
      }
    }
    unknown.insert(record->unknown.begin(), record->unknown.end());
  }
  const auto left = [&file](const std::string& name) {
    ReportFailure(file, name + " was changed after the write; left as it is");
  };
  orvell_blocks::WriteRecords block;
  bool fields = false;
  for (size_t field = 0; field < kWriteRecords; ++field) {
    bool changed_since = false;
    const ordered_json now = JournalValue(field, tags.fields[field]);
    const ordered_json value = Unwound(now, history[field], changed_since);
    if (changed_since) left(kFieldNames[field]);
    if (value == now) continue;
    block[field] = Restoring(field, value);
    fields = true;
  }
  // The keys a tag holds as the journal holds them: every value, in order.
  const PropertyValues properties = CopyProperties(tags.properties);
  OV_BlockWriter writer;
  std::string property_block;
  std::vector<std::pair<std::string, ordered_json>> restored;
  for (const auto& [key, changes] : key_history) {
    bool changed_since = false;
    const ordered_json now = JournalValue(properties, key);
    const ordered_json value = Unwound(now, changes, changed_since);
    if (changed_since) left(key);
    if (value != now) restored.emplace_back(key, value);
  }
  for (int pass = 0; pass < 2 && !restored.empty(); ++pass) {
    OV_WriterStart(&writer, property_block.empty() ? nullptr : property_block.data(),
                   static_cast<int32_t>(property_block.size()));
    for (const auto& [key, values] : restored) {
      OV_WriterKey(&writer, key.c_str(), static_cast<int32_t>(values.size()));
      for (const ordered_json& text : values) {
        OV_WriterText(&writer, text.get_ref<const std::string&>().c_str());
      }
    }
    property_block.resize(static_cast<size_t>(OV_WriterEnd(&writer)));
  }
  for (const std::string& name : unknown) {
    ReportFailure(file, name + " is not a field this orvell knows; left as it is");
  }
  if (!fields && restored.empty()) return Undone::kUnchanged;
  if (fields) {
    const std::string encoded = orvell_blocks::EncodeWriteBlock(block);
    const int32_t result =
        OV_WriteTags(file.c_str(), encoded.c_str(), static_cast<int32_t>(encoded.size() + 1));
    if (result < 0) {
      ReportFailure(file, DescribeFailure(Export::kWriteTags, result, file));
      return Undone::kFailed;
    }
  }
  if (!restored.empty()) {
    const int32_t result = OV_WriteProperties(file.c_str(), property_block.c_str());
    if (result < 0) {
      ReportFailure(file, DescribeFailure(Export::kWriteProperties, result, file));
      return Undone::kFailed;
    }
  }
  return Undone::kRestored;
}

// The whole journal is read before any file is touched; the files are
// taken in the order it first names them. The journal is left as it is.
int RunUndo(const UndoOptions& options) {
  std::vector<JournalRecord> records;
  std::string error;
  if (!ReadJournal(options.journal, records, error)) {
    ReportFailure(options.journal, error);
    return kExitFailure;
  }
  std::vector<std::string> files;
  std::map<std::string, std::vector<const JournalRecord*>> by_file;
  for (const JournalRecord& record : records) {
    std::vector<const JournalRecord*>& own = by_file[record.path];
    if (own.empty()) files.push_back(record.path);
    own.push_back(&record);
  }
  // Property keys are compared with every property the file holds.
  bool keys = false;
  for (const JournalRecord& record : records) {
    for (const JournalChange& change : record.changes) keys = keys || change.IsProperty();
  }
  TagReader reader(keys ? TagReader::Reach::kEverything : TagReader::Reach::kFields);
  size_t restored = 0;
  size_t failed = 0;
  for (const std::string& file : files) {
    const Undone undone = UndoFile(file, by_file[file], reader);
    restored += undone == Undone::kRestored ? 1 : 0;
    failed += undone == Undone::kFailed ? 1 : 0;
  }
  if (!options.quiet) ReportSummary(restored, "restored", failed);
  return failed == 0 ? kExitOk : kExitFailure;
}

}  // namespace

void AddUndoCommand(CLI::App& app, Command& command) {
  auto options = std::make_shared<UndoOptions>();
  CLI::App* undo = app.add_subcommand(
      "undo",
      "Put back the values that the writes of a journal replaced, where no one changed them since");
  undo->add_option("JOURNAL", options->journal, "A journal of orvell write --journal")
      ->required()
      ->check([](const std::string& value) { return value.empty() ? "empty file name" : ""; });
  undo->add_flag("-q,--quiet", options->quiet, "No summary line at the end");
  undo->callback([options, &command] { command = [options] { return RunUndo(*options); }; });
}

}  // namespace orvell_tool
