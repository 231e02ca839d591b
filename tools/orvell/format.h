// The three ways the tool prints the fields of a file: an aligned listing
// for people, one JSON object per line, and CSV rows.
#ifndef ORVELL_TOOLS_ORVELL_FORMAT_H
#define ORVELL_TOOLS_ORVELL_FORMAT_H

#include <memory>
#include <string>
#include <string_view>

#include "tags.h"

namespace orvell_tool {

// "PATH" and then one "  label  value" line per field, values aligned; a
// field the file does not hold (no text, a number of 0 for the year, the
// track and disc numbers and totals) has no value.
std::string Listing(const std::string& path, const orvell_blocks::ReadFieldViews& fields);

// Appends one record per file to a string the caller keeps, with no tree
// built and nothing allocated once the string has grown to a record's size.
// One per thread.
class RecordWriter {
 public:
  enum class Format { kJson, kCsv };
  explicit RecordWriter(Format format);
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  // The line before the first record: the CSV header (path, the 17 field
  // names, error); nothing for JSON Lines.
  std::string Header() const;

  // JSON: one object and a newline: the path and the fields under their
  // snake_case names, integers as numbers; a file that could not be read
  // gives the path, "error" and, when the library said so, its "code".
  // CSV: one row in the header's columns: empty fields for a file that
  // could not be read, an empty error for one that could.
  void Append(std::string& out, const std::string& path, const FileTags& tags);

 private:
  class JsonText;
  void AppendJson(std::string& out, const std::string& path, const FileTags& tags);
  void AppendCsv(std::string& out, const std::string& path, const FileTags& tags) const;

  const Format format_;
  std::unique_ptr<JsonText> json_;
};

}  // namespace orvell_tool

#endif
