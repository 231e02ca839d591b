// What the 13 writable fields of one file should read as, kept by a test
// beside the file and moved forward by every write the test makes, so that
// each read can be checked against "what was written last" and each write
// against "everything it did not touch stayed".
#ifndef ORVELL_TESTS_SUPPORT_TAG_MODEL_H
#define ORVELL_TESTS_SUPPORT_TAG_MODEL_H

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "block_codec.h"

namespace orvell_test {

struct TagModel {
  // Fields 0 to 7 as UTF-8, in read block order.
  std::array<std::string, 8> text;
  // Fields 8 to 12: year, track, track total, disc, disc total.
  std::array<int32_t, 5> number{};

  int32_t& Number(size_t field) { return number[field - orvell_blocks::kYear]; }
  int32_t Number(size_t field) const { return number[field - orvell_blocks::kYear]; }
  // Field 0 to 12 as the read block shows it.
  std::string Field(size_t field) const;
  bool operator==(const TagModel& other) const {
    return text == other.text && number == other.number;
  }
};

// The 13 writable fields of a read block; nothing when the block does not
// decode.
std::optional<TagModel> ModelOf(const orvell_blocks::ReadFields& fields);

// OV_ReadTags into a buffer large enough for any test file, decoded.
// Nothing when the call fails or the block does not decode.
std::optional<orvell_blocks::ReadFields> ReadAll(const std::string& path);

// One write through an export, and what it does to the model when it
// returns 1. `call` returns the export's result.
struct WriteOp {
  std::string name;
  std::function<int32_t(const char* path)> call;
  std::function<void(TagModel&)> apply;
};

// A text setter for field 0 to 7 (OV_SetTitle ... OV_SetConductor).
WriteOp SetText(size_t field, const std::string& text);
// OV_SetYear, OV_SetTrack, OV_SetTrackTotal, OV_SetDisc, OV_SetDiscTotal.
WriteOp SetNumber(size_t field, int32_t value);
// OV_SetArtistSync.
WriteOp SetArtistSync(const std::string& text, int32_t flag);
// OV_WriteTags with the given records (keep, set or clear per field).
WriteOp WriteBlock(const std::string& name, const orvell_blocks::WriteRecords& records);

// Records that set every writable field to the values of model.
orvell_blocks::WriteRecords SetAllRecords(const TagModel& model);

// Everything in a form a failure message can show.
std::string Describe(const TagModel& model);

}  // namespace orvell_test

#endif
