#include "format.h"

#include <algorithm>

#include <nlohmann/json.hpp>

namespace orvell_tool {
namespace {

using orvell_blocks::kFieldNames;
using orvell_blocks::kReadFields;

// Units of the audio properties in the listing.
const char* Unit(size_t index) {
  switch (index) {
    case orvell_blocks::kDuration: return " s";
    case orvell_blocks::kBitrate: return " kb/s";
    case orvell_blocks::kSampleRate: return " Hz";
    default: return "";
  }
}

std::string Label(size_t index) {
  std::string label = kFieldNames[index];
  std::replace(label.begin(), label.end(), '_', ' ');
  return label;
}

std::string Dump(const nlohmann::ordered_json& object) {
  // Paths and texts are not always valid UTF-8: replace what is not rather
  // than fail the whole record.
  return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string CsvCell(const std::string& value) {
  if (value.find_first_of(",\"\r\n") == std::string::npos) return value;
  std::string quoted = "\"";
  for (char c : value) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

}  // namespace

std::string Listing(const std::string& path, const orvell_blocks::ReadFields& fields) {
  size_t width = 0;
  for (size_t i = 0; i < kReadFields; ++i) width = std::max(width, Label(i).size());
  const std::string indent(2 + width + 2, ' ');
  std::string out = path + "\n";
  for (size_t i = 0; i < kReadFields; ++i) {
    const std::string label = Label(i);
    out += "  " + label;
    if (fields[i].empty()) {
      out += "\n";
      continue;
    }
    out += std::string(width - label.size() + 2, ' ');
    // Continuation lines of a multi-line text stay in the value column.
    for (char c : fields[i]) {
      out += c;
      if (c == '\n') out += indent;
    }
    out += std::string(Unit(i)) + "\n";
  }
  return out;
}

std::string JsonLine(const std::string& path, const FileTags& tags) {
  nlohmann::ordered_json object;
  object["path"] = path;
  if (!tags.ok()) {
    object["error"] = tags.error;
    if (tags.code < 0) object["code"] = tags.code;
    return Dump(object);
  }
  for (size_t i = 0; i < kReadFields; ++i) {
    if (orvell_blocks::IsTextField(i)) {
      object[kFieldNames[i]] = tags.fields[i];
    } else {
      object[kFieldNames[i]] = orvell_blocks::DecimalField(tags.fields[i]);
    }
  }
  return Dump(object);
}

std::string CsvHeader() {
  std::string header = "path";
  for (const char* name : kFieldNames) header += std::string(",") + name;
  return header + ",error\n";
}

std::string CsvRow(const std::string& path, const FileTags& tags) {
  std::string row = CsvCell(path);
  for (size_t i = 0; i < kReadFields; ++i) row += "," + (tags.ok() ? CsvCell(tags.fields[i]) : "");
  return row + "," + CsvCell(tags.error) + "\n";
}

}  // namespace orvell_tool
