// The three ways the tool prints the fields of a file: an aligned listing
// for people, one JSON object per line, and CSV rows.
#ifndef ORVELL_TOOLS_ORVELL_FORMAT_H
#define ORVELL_TOOLS_ORVELL_FORMAT_H

#include <string>

#include "tags.h"

namespace orvell_tool {

// "PATH" and then one "  label  value" line per field, values aligned.
std::string Listing(const std::string& path, const orvell_blocks::ReadFields& fields);

// One JSON object and a newline: the path and the fields under their
// snake_case names, integers as numbers. A file that could not be read
// gives the path, "error" and, when the library said so, its "code".
std::string JsonLine(const std::string& path, const FileTags& tags);

// The CSV header: path, the 17 field names, error.
std::string CsvHeader();
// One CSV row in the header's columns: empty fields for a file that could
// not be read, an empty error for one that could.
std::string CsvRow(const std::string& path, const FileTags& tags);

}  // namespace orvell_tool

#endif
