// What the tool tests compare the tool's output with: the fields as the
// library itself reads them, and a tagged state to put on a fixture copy.
#ifndef ORVELL_TESTS_TOOL_TOOL_SUPPORT_H
#define ORVELL_TESTS_TOOL_TOOL_SUPPORT_H

#include <array>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "block_codec.h"
#include "support/temp_files.h"

namespace orvell_test {

using WriteValues = std::array<std::string, orvell_blocks::kWriteRecords>;

// Values for the 13 writable fields: non-ASCII text, colons and digits
// inside texts, a quote, a comma and a backslash, and numbers.
const WriteValues& RichValues();

// The write options of the tool that set values: "--title", values[0], ...
std::vector<std::string> WriteArgs(const WriteValues& values);

// The 17 fields of path through one OV_ReadTags call; a failure is a test
// failure and gives empty fields.
orvell_blocks::ReadFields LibraryFields(const std::string& path);

// Sets the 13 fields of path through OV_WriteTags (test setup).
void SetFields(const std::string& path, const WriteValues& values);

// Expects record to be the tool's JSON for path: the path, then the 17
// fields in order under their names, texts as strings, integers as numbers,
// equal to fields; with everything, then the "format" its extension
// names, the "properties" TagLib reads from it (values as arrays) and the
// "pictures" OV_ReadPictures lists.
void ExpectJsonRecord(const nlohmann::ordered_json& record, const std::string& path,
                      const orvell_blocks::ReadFields& fields, bool everything = false);

// The pictures of path as OV_ReadPictures lists them, as the tool's JSON
// gives them: type, mime, description, size.
nlohmann::json LibraryPictures(const std::string& path);

// An image of size bytes whose first bytes make it a PNG, as a tagger
// would embed one.
std::string PngImage(size_t size);

// The fixture's format, "flac" for silence.flac, as a test name.
std::string FormatName(const ::testing::TestParamInfo<std::string>& info);

}  // namespace orvell_test

// Runs the parameterised suite on a copy of every audio fixture.
#define ORVELL_TOOL_EVERY_FORMAT(suite)                                                   \
  INSTANTIATE_TEST_SUITE_P(Fixtures, suite, ::testing::ValuesIn(orvell_test::AudioFixtures()), \
                           orvell_test::FormatName)

#endif
