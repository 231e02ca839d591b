// The journal that orvell write keeps when asked and orvell undo reads:
// JSON Lines, one record per written file, naming every field and property
// key the write changed with its value before and after:
//
//   {"path":"/music/a.flac","time":"2024-05-01T12:00:00Z",
//    "changes":{"title":{"old":"Take 1","new":"Blue"},"year":{"old":null,"new":1959},
//               "MOOD":{"old":[],"new":["calm","late"]}}}
//
// (one line in the file). The path is absolute, the time UTC; fields go by
// their names in read --json, texts as strings, numbers as numbers and null
// where the file held none; property keys, in upper case, by themselves,
// with the array of their values ([] where the file held none). A name
// with no lower-case letter is a property key. A reader passes over fields
// it does not know, so that later fields can join. Pictures are not
// journaled.
#ifndef ORVELL_TOOLS_ORVELL_JOURNAL_H
#define ORVELL_TOOLS_ORVELL_JOURNAL_H

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "block_codec.h"
#include "tags.h"

namespace orvell_tool {

// The 13 writable fields as a read gives them: texts, decimal numbers.
using WritableFields = std::array<std::string, orvell_blocks::kWriteRecords>;

// The writable fields of a read, copied out of the reader's buffer.
WritableFields CopyWritable(const orvell_blocks::ReadFieldViews& fields);

// A field's value as the journal holds it: a text as a string, a number as
// a number, 0 (no number) as null.
nlohmann::ordered_json JournalValue(size_t field, std::string_view value);

// A property key's values as the journal holds them: an array of strings,
// [] for a key the file does not hold.
nlohmann::ordered_json JournalValue(const PropertyValues& properties, const std::string& key);

// The changes of one write: every writable field whose value differs
// between before and after, then every key of keys whose values differ.
nlohmann::ordered_json JournalChanges(const WritableFields& before, const WritableFields& after,
                                      const std::vector<std::string>& keys,
                                      const PropertyValues& properties_before,
                                      const PropertyValues& properties_after);

// Appends records to a journal. Each record goes out in one write to a file
// opened for appending, so that writers never interleave, and reaches the
// disk before the next file is written.
class JournalWriter {
 public:
  JournalWriter() = default;
  ~JournalWriter();
  JournalWriter(const JournalWriter&) = delete;
  JournalWriter& operator=(const JournalWriter&) = delete;

  // Opens path, creating it when it does not exist; what went wrong, or "".
  std::string Open(const std::string& path);

  // The record of one written file, with its changes (JournalChanges).
  // Nothing is appended when there are none. What went wrong, or "".
  std::string Append(const std::string& file, const nlohmann::ordered_json& changes);

 private:
  int fd_ = -1;
};

// The change of one field, or of one property key (field kWriteRecords).
struct JournalChange {
  size_t field;
  std::string key;
  nlohmann::ordered_json old_value;
  nlohmann::ordered_json new_value;
  bool IsProperty() const { return field == orvell_blocks::kWriteRecords; }
};

struct JournalRecord {
  std::string path;
  std::vector<JournalChange> changes;    // the fields this tool knows, and the keys
  std::vector<std::string> unknown;      // the names of the fields it does not know
};

// Reads every record of the journal at path. False, with what went wrong
// (a line that is not a record is named by its number), when the journal
// cannot be read whole.
bool ReadJournal(const std::string& path, std::vector<JournalRecord>& records, std::string& error);

}  // namespace orvell_tool

#endif
