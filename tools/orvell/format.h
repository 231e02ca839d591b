// The three ways the tool prints the fields of a file: an aligned listing
// for people, one JSON object per line, and CSV rows; and the names it
// gives formats and pictures.
#ifndef ORVELL_TOOLS_ORVELL_FORMAT_H
#define ORVELL_TOOLS_ORVELL_FORMAT_H

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "tags.h"

namespace orvell_tool {

// The format TagLib takes a file for by its name's extension, in any case
// ("FLAC" for "a.FLAC"); empty for a name TagLib picks no format by.
// liborvell does not report the format it found.
std::string_view FormatByName(const std::string& path);

// "front cover" for the ID3v2 picture type 3; "type N" outside 0 to 20.
std::string PictureTypeName(int32_t type);

// The file name extension of an image: "jpg" for "image/jpeg"; one told
// from its first bytes where the MIME type is none of the usual ones; "bin"
// where neither tells.
std::string ImageExtension(std::string_view mime, std::string_view bytes);

// "PATH" and then one "  label  value" line per field, values aligned; a
// field the file does not hold (no text, a number of 0 for the year, the
// track and disc numbers and totals) has no value. With everything read,
// then the format, every property as KEY=VALUE lines (one per value) and a
// line per picture: its type, MIME type, size and description.
std::string Listing(const std::string& path, const FileTags& tags);

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
  // snake_case names, integers as numbers; with everything read, then the
  // "format" (null where the name tells none), the "properties" (each key
  // with the array of its values) and the "pictures" (each an object of
  // its "type", "mime", "description" and "size"). A file that could not
  // be read gives the path, "error" and, when the library said so, its
  // "code".
  // CSV: one row in the header's columns: empty fields for a file that
  // could not be read, an empty error for one that could.
  void Append(std::string& out, const std::string& path, const FileTags& tags);

 private:
  class JsonText;
  void AppendJson(std::string& out, const std::string& path, const FileTags& tags);
  void AppendEverythingJson(std::string& out, const std::string& path, const FileTags& tags);
  void AppendCsv(std::string& out, const std::string& path, const FileTags& tags) const;

  const Format format_;
  std::unique_ptr<JsonText> json_;
};

}  // namespace orvell_tool

#endif
