#include "format.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

#include <nlohmann/json.hpp>

#include "orvell_block.h"

namespace orvell_tool {
namespace {

using orvell_blocks::kFieldNames;
using orvell_blocks::kReadFields;

// The extensions TagLib picks a format by (TagLib 1.11 to 2.x), lower
// case, with the format each stands for.
struct NamedFormat {
  std::string_view extension;
  std::string_view format;
};
constexpr NamedFormat kFormats[] = {
    {"3g2", "MP4"},      {"aac", "AAC"},       {"afc", "AIFF"},       {"aif", "AIFF"},
    {"aifc", "AIFF"},    {"aiff", "AIFF"},     {"ape", "APE"},        {"asf", "ASF"},
    {"dff", "DSDIFF"},   {"dsdiff", "DSDIFF"}, {"dsf", "DSF"},        {"flac", "FLAC"},
    {"it", "IT"},        {"m4a", "MP4"},       {"m4b", "MP4"},        {"m4p", "MP4"},
    {"m4r", "MP4"},      {"m4v", "MP4"},       {"mod", "MOD"},        {"module", "MOD"},
    {"mp2", "MPEG"},     {"mp3", "MP3"},       {"mp4", "MP4"},        {"mpc", "Musepack"},
    {"nst", "MOD"},      {"oga", "Ogg"},       {"ogg", "Ogg"},        {"opus", "Opus"},
    {"s3m", "S3M"},      {"spx", "Speex"},     {"tta", "TrueAudio"},  {"wav", "WAV"},
    {"wma", "ASF"},      {"wow", "MOD"},       {"wv", "WavPack"},     {"xm", "XM"}};

// The ID3v2 picture types, which liborvell gives every format's pictures.
constexpr const char* kPictureTypes[] = {
    "other",         "file icon",         "other file icon",      "front cover",
    "back cover",    "leaflet page",      "media",                "lead artist",
    "artist",        "conductor",         "band",                 "composer",
    "lyricist",      "recording location", "during recording",    "during performance",
    "video capture", "bright coloured fish", "illustration",      "band logo",
    "publisher logo"};

// The images whose bytes tell their type, as liborvell tells them.
struct ImageKind {
  std::string_view mime;
  std::string_view magic;
  std::string_view extension;
};
constexpr ImageKind kImages[] = {{"image/jpeg", "\xFF\xD8\xFF", "jpg"},
                                 {"image/png", "\x89PNG\r\n\x1A\n", "png"},
                                 {"image/gif", "GIF8", "gif"},
                                 {"image/bmp", "BM", "bmp"},
                                 {"image/webp", "RIFF", "webp"}};

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

// Appends text with each line after the first in the value column.
void AppendValue(std::string& out, std::string_view value, const std::string& indent) {
  size_t start = 0;
  for (size_t end = value.find('\n'); end != std::string_view::npos;
       start = end + 1, end = value.find('\n', start)) {
    out.append(value.substr(start, end + 1 - start));
    out += indent;
  }
  out.append(value.substr(start));
}

std::string_view View(const OV_Field& field) {
  return std::string_view(field.data, static_cast<size_t>(field.size));
}

}  // namespace

std::string_view FormatByName(const std::string& path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const NamedFormat& named : kFormats) {
    if (named.extension == extension) return named.format;
  }
  return "";
}

std::string PictureTypeName(int32_t type) {
  if (type < 0 || type >= static_cast<int32_t>(std::size(kPictureTypes))) {
    return "type " + std::to_string(type);
  }
  return kPictureTypes[type];
}

std::string ImageExtension(std::string_view mime, std::string_view bytes) {
  for (const ImageKind& kind : kImages) {
    if (kind.mime == mime) return std::string(kind.extension);
  }
  for (const ImageKind& kind : kImages) {
    const bool webp = kind.extension == "webp";
    if (bytes.substr(0, kind.magic.size()) == kind.magic &&
        (!webp || (bytes.size() >= 12 && bytes.substr(8, 4) == "WEBP"))) {
      return std::string(kind.extension);
    }
  }
  return "bin";
}

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
  if (tags.everything) AppendEverythingJson(out, path, tags);
  out += "}\n";
}

// The blocks were walked whole when they were read, so every step here
// takes an entry until the end.
void RecordWriter::AppendEverythingJson(std::string& out, const std::string& path,
                                        const FileTags& tags) {
  const std::string_view format = FormatByName(path);
  out += ",\"format\":";
  if (format.empty()) {
    out += "null";
  } else {
    json_->Append(out, format);
  }
  out += ",\"properties\":{";
  OV_BlockReader reader;
  OV_BlockStart(&reader, tags.properties.data(), static_cast<int32_t>(tags.properties.size()));
  OV_Property property;
  for (bool first = true; OV_BlockProperty(&reader, &property) == 1; first = false) {
    if (!first) out += ',';
    json_->Append(out, View(property.key));
    out += ":[";
    OV_Field value;
    for (bool first_value = true; OV_BlockField(&property.values, &value) == 1;
         first_value = false) {
      if (!first_value) out += ',';
      json_->Append(out, View(value));
    }
    out += ']';
  }
  out += "},\"pictures\":[";
  OV_BlockStart(&reader, tags.pictures.data(), static_cast<int32_t>(tags.pictures.size()));
  OV_PictureInfo picture;
  for (bool first = true; OV_BlockPicture(&reader, &picture) == 1; first = false) {
    out += first ? "{\"type\":" : ",{\"type\":";
    AppendNumber(out, picture.type);
    out += ",\"mime\":";
    json_->Append(out, View(picture.mime));
    out += ",\"description\":";
    json_->Append(out, View(picture.description));
    out += ",\"size\":";
    AppendNumber(out, picture.size);
    out += '}';
  }
  out += ']';
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

std::string Listing(const std::string& path, const FileTags& tags) {
  const orvell_blocks::ReadFieldViews& fields = tags.fields;
  size_t width = 0;
  for (size_t i = 0; i < kReadFields; ++i) width = std::max(width, Label(i).size());
  const std::string indent(2 + width + 2, ' ');
  std::string out = path + "\n";
  // One "  label  value" line; continuation lines of a multi-line text stay
  // in the value column, and so do the further values of a label.
  const auto line = [&](const std::string& label, std::string_view value, const char* unit) {
    out += label.empty() ? indent : "  " + label;
    if (!label.empty() && !value.empty()) out += std::string(width - label.size() + 2, ' ');
    AppendValue(out, value, indent);
    out += std::string(unit) + "\n";
  };
  for (size_t i = 0; i < kReadFields; ++i) {
    // A year, track or disc number or total of 0 is one the file does not
    // hold, and shows as such.
    const bool absent = i >= orvell_blocks::kYear && i <= orvell_blocks::kDiscTotal &&
                        orvell_blocks::DecimalField(fields[i]) == 0;
    line(Label(i), absent ? "" : fields[i], fields[i].empty() || absent ? "" : Unit(i));
  }
  if (!tags.everything) return out;

  line("format", FormatByName(path), "");
  OV_BlockReader reader;
  OV_BlockStart(&reader, tags.properties.data(), static_cast<int32_t>(tags.properties.size()));
  OV_Property property;
  std::string label = "properties";
  std::string text;
  while (OV_BlockProperty(&reader, &property) == 1) {
    OV_Field value;
    while (OV_BlockField(&property.values, &value) == 1) {
      text.assign(View(property.key)).append("=").append(View(value));
      line(label, text, "");
      label.clear();
    }
  }
  if (!label.empty()) line(label, "", "");
  OV_BlockStart(&reader, tags.pictures.data(), static_cast<int32_t>(tags.pictures.size()));
  OV_PictureInfo picture;
  label = "pictures";
  while (OV_BlockPicture(&reader, &picture) == 1) {
    text = PictureTypeName(picture.type) + ", " + std::string(View(picture.mime)) + ", " +
           std::to_string(picture.size) + " bytes";
    if (picture.description.size > 0) {
      text += ", \"" + std::string(View(picture.description)) + "\"";
    }
    line(label, text, "");
    label.clear();
  }
  if (!label.empty()) line(label, "", "");
  return out;
}

}  // namespace orvell_tool
