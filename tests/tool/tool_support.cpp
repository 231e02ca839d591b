#include "tool_support.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <vector>

#include "orvell.h"
#include "support/tag_model.h"
#include "support/taglib_direct.h"

namespace orvell_test {

using orvell_blocks::kFieldNames;

const WriteValues& RichValues() {
  static const WriteValues values = {
      "Café at 12:30",     "Ærø \"Trio\", live", "東京 Ensemble", "Blue\\Green", "Jazz",
      "☕ first take",      "Bill Evans",         "Dvořák",        "1959",       "3",
      "12",                "1",                  "2"};
  return values;
}

std::vector<std::string> WriteArgs(const WriteValues& values) {
  std::vector<std::string> args;
  for (size_t i = 0; i < values.size(); ++i) {
    std::string option = std::string("--") + kFieldNames[i];
    for (char& c : option) c = c == '_' ? '-' : c;
    args.push_back(option);
    args.push_back(values[i]);
  }
  return args;
}

orvell_blocks::ReadFields LibraryFields(const std::string& path) {
  const auto fields = orvell_test::ReadAll(path);
  EXPECT_TRUE(fields.has_value()) << "OV_ReadTags on " << path;
  return fields.value_or(orvell_blocks::ReadFields{});
}

void SetFields(const std::string& path, const WriteValues& values) {
  orvell_blocks::WriteRecords records;
  for (size_t i = 0; i < values.size(); ++i) records[i] = {orvell_blocks::Action::Set, values[i]};
  const std::string block = orvell_blocks::EncodeWriteBlock(records);
  ASSERT_EQ(OV_WriteTags(path.c_str(), block.c_str(), static_cast<int32_t>(block.size() + 1)), 1)
      << path;
}

void ExpectJsonRecord(const nlohmann::ordered_json& record, const std::string& path,
                      const orvell_blocks::ReadFields& fields, bool everything) {
  ASSERT_TRUE(record.is_object());
  ASSERT_EQ(record.size(), 1 + orvell_blocks::kReadFields + (everything ? 3 : 0)) << record.dump();
  auto item = record.items().begin();
  EXPECT_EQ(item.key(), "path");
  EXPECT_EQ(item.value(), path);
  for (size_t i = 0; i < orvell_blocks::kReadFields; ++i) {
    ++item;
    const std::string key = item.key();
    const nlohmann::ordered_json& value = item.value();
    EXPECT_EQ(key, kFieldNames[i]) << "field " << i << " out of order";
    if (orvell_blocks::IsTextField(i)) {
      ASSERT_TRUE(value.is_string()) << key;
      EXPECT_EQ(value.get<std::string>(), fields[i]) << key << " of " << path;
    } else {
      ASSERT_TRUE(value.is_number_integer()) << key;
      EXPECT_EQ(value.get<long long>(), orvell_blocks::DecimalField(fields[i])) << key << " of " << path;
    }
  }
  if (!everything) return;
  // The format by the extension, as TagLib picks one.
  static const std::map<std::string, std::string> kFormats = {
      {"mp3", "MP3"}, {"flac", "FLAC"}, {"ogg", "Ogg"},      {"opus", "Opus"}, {"m4a", "MP4"},
      {"wav", "WAV"}, {"aiff", "AIFF"}, {"wv", "WavPack"},   {"wma", "ASF"},   {"ape", "APE"}};
  std::string extension = path.substr(path.rfind('.') + 1);
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const auto format = kFormats.find(extension);
  EXPECT_EQ(nlohmann::json(record["format"]), format == kFormats.end() ? nlohmann::json() : nlohmann::json(format->second)) << path;
  nlohmann::json properties = nlohmann::json::object();
  for (const auto& [key, values] : ReadPropertyMap(path)) {
    nlohmann::json& texts = properties[key.to8Bit(true)] = nlohmann::json::array();
    for (const TagLib::String& value : values) texts.push_back(value.to8Bit(true));
  }
  EXPECT_EQ(nlohmann::json(record["properties"]), properties) << path;
  EXPECT_EQ(nlohmann::json(record["pictures"]), LibraryPictures(path)) << path;
}

nlohmann::json LibraryPictures(const std::string& path) {
  std::string block(static_cast<size_t>(std::max(OV_ReadPictures(path.c_str(), nullptr, 0), 1)), '\0');
  const int32_t length = OV_ReadPictures(path.c_str(), block.data(), static_cast<int32_t>(block.size()));
  EXPECT_GE(length, 0) << "OV_ReadPictures on " << path;
  // Four fields a picture, each "<length>:<bytes>".
  std::vector<std::string> fields;
  for (size_t at = 0; length >= 0 && at < static_cast<size_t>(length);) {
    const size_t colon = block.find(':', at);
    const size_t size = std::stoul(block.substr(at, colon - at));
    fields.push_back(block.substr(colon + 1, size));
    at = colon + 1 + size;
  }
  nlohmann::json pictures = nlohmann::json::array();
  for (size_t i = 0; i + 3 < fields.size(); i += 4) {
    pictures.push_back({{"type", std::stoi(fields[i])}, {"mime", fields[i + 1]},
                        {"description", fields[i + 2]}, {"size", std::stoll(fields[i + 3])}});
  }
  return pictures;
}

std::string PngImage(size_t size) {
  std::string image("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16);
  for (size_t i = image.size(); i < size; ++i) image += static_cast<char>(i * 7);
  return image;
}

std::string FormatName(const ::testing::TestParamInfo<std::string>& info) {
  return info.param.substr(info.param.find('.') + 1);
}

}  // namespace orvell_test
