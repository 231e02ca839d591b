// orvell undo [--quiet] JOURNAL: puts back the values the journaled writes
// replaced, in every field that still holds a value they gave it.
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

// Takes back the records of one file, latest first, field by field. A field
// that holds the value a record gave it gets the value before that record.
// One that holds a value from earlier in the journal (the value before the
// record, or one an earlier record gave or replaced) is already taken back
// that far, so the record is passed over. Any other value was set since:
// it is reported and left, and with it the field's earlier records. The
// file is saved once, and only when a field changes.
Undone UndoFile(const std::string& file, const std::vector<const JournalRecord*>& records,
                TagReader& reader) {
  const FileTags& tags = reader.Read(file);
  if (!tags.ok()) {
    ReportFailure(file, tags.error);
    return Undone::kFailed;
  }
  std::array<std::vector<const JournalChange*>, kWriteRecords> history;
  std::set<std::string> unknown;
  for (const JournalRecord* record : records) {
    for (const JournalChange& change : record->changes) history[change.field].push_back(&change);
    unknown.insert(record->unknown.begin(), record->unknown.end());
  }
  orvell_blocks::WriteRecords block;
  bool any = false;
  for (size_t field = 0; field < kWriteRecords; ++field) {
    const std::vector<const JournalChange*>& changes = history[field];
    const ordered_json now = JournalValue(field, tags.fields[field]);
    ordered_json value = now;
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
        ReportFailure(file, std::string(kFieldNames[field]) +
                                " was changed after the write; left as it is");
        break;
      }
    }
    if (value == now) continue;
    block[field] = Restoring(field, value);
    any = true;
  }
  for (const std::string& name : unknown) {
    ReportFailure(file, name + " is not a field this orvell knows; left as it is");
  }
  if (!any) return Undone::kUnchanged;
  const std::string encoded = orvell_blocks::EncodeWriteBlock(block);
  const int32_t result =
      OV_WriteTags(file.c_str(), encoded.c_str(), static_cast<int32_t>(encoded.size() + 1));
  if (result < 0) {
    ReportFailure(file, DescribeFailure(Export::kWriteTags, result, file));
    return Undone::kFailed;
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
  TagReader reader;
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
