#include "tool_support.h"

#include <vector>

#include "orvell.h"
#include "support/tag_model.h"

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
                      const orvell_blocks::ReadFields& fields) {
  ASSERT_TRUE(record.is_object());
  ASSERT_EQ(record.size(), 1 + orvell_blocks::kReadFields) << record.dump();
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
}

std::string FormatName(const ::testing::TestParamInfo<std::string>& info) {
  return info.param.substr(info.param.find('.') + 1);
}

}  // namespace orvell_test
