#include "format.h"

#include <algorithm>
#include <charconv>

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

void AppendCsvCell(std::string& out, std::string_view value) {
  if (value.find_first_of(",\"\r\n") == std::string_view::npos) {
    out.append(value);
    return;
  }
  out += '"';
  for (char c : value) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendNumber(std::string& out, long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace

// JSON strings through nlohmann's own serializer, without building a tree:
// the same escaping as a dump of the whole object, invalid UTF-8 (paths and
// tags are not always valid) replaced by U+FFFD instead of failing the
// record. The serializer writes to whichever string is being filled.
class RecordWriter::JsonText {
 public:
  JsonText()
      : output_(std::make_shared<Output>()),
        serializer_(output_, ' ', nlohmann::json::error_handler_t::replace),
        value_(nlohmann::json::value_t::string) {}

  // Appends text as a quoted JSON string.
  void Append(std::string& out, std::string_view text) {
    value_.get_ref<std::string&>().assign(text.data(), text.size());
    output_->target = &out;
    serializer_.dump(value_, false, false, 0);
  }

 private:
  struct Output : nlohmann::detail::output_adapter_protocol<char> {
    void write_character(char c) override { target->push_back(c); }
    void write_characters(const char* s, std::size_t length) override { target->append(s, length); }
    std::string* target = nullptr;
  };

  std::shared_ptr<Output> output_;
  nlohmann::detail::serializer<nlohmann::json> serializer_;
  nlohmann::json value_;
};

RecordWriter::RecordWriter(Format format) : format_(format) {
  if (format_ == Format::kJson) json_ = std::make_unique<JsonText>();
}

RecordWriter::~RecordWriter() = default;

std::string RecordWriter::Header() const {
  if (format_ == Format::kJson) return "";
  std::string header = "path";
  for (const char* name : kFieldNames) header += std::string(",") + name;
  return header + ",error\n";
}

void RecordWriter::Append(std::string& out, const std::string& path, const FileTags& tags) {
  if (format_ == Format::kJson) {
    AppendJson(out, path, tags);
  } else {
    AppendCsv(out, path, tags);
  }
}

void RecordWriter::AppendJson(std::string& out, const std::string& path, const FileTags& tags) {
  out += "{\"path\":";
  json_->Append(out, path);
  if (!tags.ok()) {
    out += ",\"error\":";
    json_->Append(out, tags.error);
    if (tags.code < 0) {
      out += ",\"code\":";
      AppendNumber(out, tags.code);
    }
    out += "}\n";
    return;
  }
  for (size_t i = 0; i < kReadFields; ++i) {
    // The names are plain ASCII and need no escaping.
    out += ",\"";
    out += kFieldNames[i];
    out += "\":";
    if (orvell_blocks::IsTextField(i)) {
      json_->Append(out, tags.fields[i]);
    } else {
      AppendNumber(out, orvell_blocks::DecimalField(tags.fields[i]));
    }
  }
  out += "}\n";
}

void RecordWriter::AppendCsv(std::string& out, const std::string& path, const FileTags& tags) const {
  AppendCsvCell(out, path);
  for (size_t i = 0; i < kReadFields; ++i) {
    out += ',';
    if (tags.ok()) AppendCsvCell(out, tags.fields[i]);
  }
  out += ',';
  AppendCsvCell(out, tags.error);
  out += '\n';
}

std::string Listing(const std::string& path, const orvell_blocks::ReadFieldViews& fields) {
  size_t width = 0;
  for (size_t i = 0; i < kReadFields; ++i) width = std::max(width, Label(i).size());
  const std::string indent(2 + width + 2, ' ');
  std::string out = path + "\n";
  for (size_t i = 0; i < kReadFields; ++i) {
    const std::string label = Label(i);
    out += "  " + label;
    // A year, track or disc number or total of 0 is one the file does not
    // hold, and shows as such.
    const bool absent = i >= orvell_blocks::kYear && i <= orvell_blocks::kDiscTotal &&
                        orvell_blocks::DecimalField(fields[i]) == 0;
    if (fields[i].empty() || absent) {
      out += "\n";
      continue;
    }
    out += std::string(width - label.size() + 2, ' ');
    // Continuation lines of a multi-line text stay in the value column.
    const std::string_view value = fields[i];
    size_t start = 0;
    for (size_t end = value.find('\n'); end != std::string_view::npos;
         start = end + 1, end = value.find('\n', start)) {
      out.append(value.substr(start, end + 1 - start));
      out += indent;
    }
    out.append(value.substr(start));
    out += std::string(Unit(i)) + "\n";
  }
  return out;
}

}  // namespace orvell_tool
