#include "support/tag_model.h"

#include <sstream>
#include <vector>

#include "orvell.h"

namespace orvell_test {

using orvell_blocks::Action;
using orvell_blocks::ReadFields;
using orvell_blocks::WriteRecords;
namespace ob = orvell_blocks;

std::string TagModel::Field(size_t field) const {
  return field < ob::kYear ? text[field] : std::to_string(Number(field));
}

std::optional<TagModel> ModelOf(const ReadFields& fields) {
  TagModel model;
  for (size_t i = 0; i < ob::kYear; ++i) model.text[i] = fields[i];
  for (size_t i = ob::kYear; i <= ob::kDiscTotal; ++i) {
    const long long value = ob::DecimalField(fields[i]);
    if (std::to_string(value) != fields[i]) return std::nullopt;
    model.Number(i) = static_cast<int32_t>(value);
  }
  return model;
}

std::optional<ReadFields> ReadAll(const std::string& path) {
  // Test files carry at most a few 10000-byte values.
  std::vector<char> buffer(1 << 17);
  const int32_t n = OV_ReadTags(path.c_str(), buffer.data(), static_cast<int32_t>(buffer.size()));
  if (n < 43) return std::nullopt;
  return ob::DecodeReadBlock(std::string_view(buffer.data(), static_cast<size_t>(n)));
}

namespace {

using TextSetter = int32_t (*)(const char*, const char*);
using NumberSetter = int32_t (*)(const char*, int32_t);

TextSetter TextSetterOf(size_t field) {
  switch (field) {
    case ob::kTitle: return OV_SetTitle;
    case ob::kArtist: return OV_SetArtist;
    case ob::kAlbumArtist: return OV_SetAlbumArtist;
    case ob::kAlbum: return OV_SetAlbum;
    case ob::kGenre: return OV_SetGenre;
    case ob::kComment: return OV_SetComment;
    case ob::kComposer: return OV_SetComposer;
    case ob::kConductor: return OV_SetConductor;
    default: return nullptr;
  }
}

NumberSetter NumberSetterOf(size_t field) {
  switch (field) {
    case ob::kYear: return OV_SetYear;
    case ob::kTrack: return OV_SetTrack;
    case ob::kTrackTotal: return OV_SetTrackTotal;
    case ob::kDisc: return OV_SetDisc;
    case ob::kDiscTotal: return OV_SetDiscTotal;
    default: return nullptr;
  }
}

int32_t Decimal(const std::string& digits) {
  int64_t value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return static_cast<int32_t>(value);
}

// One half of a pair under a set, keep or clear.
void ApplyHalf(const ob::WriteRecord& record, int32_t& half) {
  if (record.action == Action::Set) half = Decimal(record.value);
  if (record.action == Action::Clear) half = 0;
}

// What OV_WriteTags does to each field, as its header documents it. The
// values tests write are never negative, so a stored pair reads back as
// written; a pair whose key is removed reads as 0 and 0.
void ApplyRecords(const WriteRecords& records, TagModel& model) {
  for (size_t i = 0; i < ob::kYear; ++i) {
    if (records[i].action == Action::Set) model.text[i] = records[i].value;
    if (records[i].action == Action::Clear) model.text[i].clear();
  }
  ApplyHalf(records[ob::kYear], model.Number(ob::kYear));
  if (records[ob::kTrack].action == Action::Clear) {
    model.Number(ob::kTrack) = 0;
    model.Number(ob::kTrackTotal) = 0;
  } else {
    ApplyHalf(records[ob::kTrack], model.Number(ob::kTrack));
    ApplyHalf(records[ob::kTrackTotal], model.Number(ob::kTrackTotal));
  }
  ApplyHalf(records[ob::kDisc], model.Number(ob::kDisc));
  ApplyHalf(records[ob::kDiscTotal], model.Number(ob::kDiscTotal));
}

}  // namespace

WriteOp SetText(size_t field, const std::string& text) {
  const TextSetter setter = TextSetterOf(field);
  return {std::string("set ") + ob::kFieldNames[field],
          [setter, text](const char* path) { return setter(path, text.c_str()); },
          [field, text](TagModel& model) { model.text[field] = text; }};
}

WriteOp SetNumber(size_t field, int32_t value) {
  const NumberSetter setter = NumberSetterOf(field);
  return {std::string("set ") + ob::kFieldNames[field] + " " + std::to_string(value),
          [setter, value](const char* path) { return setter(path, value); },
          [field, value](TagModel& model) { model.Number(field) = value; }};
}

WriteOp SetArtistSync(const std::string& text, int32_t flag) {
  return {"artist sync " + std::to_string(flag),
          [text, flag](const char* path) { return OV_SetArtistSync(path, text.c_str(), flag); },
          [text, flag](TagModel& model) {
            model.text[ob::kArtist] = text;
            if (flag != 0) model.text[ob::kAlbumArtist] = text;
          }};
}

WriteOp WriteBlock(const std::string& name, const WriteRecords& records) {
  const std::string block = ob::EncodeWriteBlock(records);
  return {name,
          [block](const char* path) {
            return OV_WriteTags(path, block.c_str(), static_cast<int32_t>(block.size() + 1));
          },
          [records](TagModel& model) { ApplyRecords(records, model); }};
}

WriteRecords SetAllRecords(const TagModel& model) {
  WriteRecords records;
  for (size_t i = 0; i < ob::kWriteRecords; ++i) {
    records[i].action = Action::Set;
    records[i].value = model.Field(i);
  }
  return records;
}

std::string Describe(const TagModel& model) {
  std::ostringstream out;
  for (size_t i = 0; i < ob::kWriteRecords; ++i) {
    std::string value = model.Field(i);
    if (value.size() > 40) value = value.substr(0, 40) + "...(" + std::to_string(value.size()) + ")";
    out << ob::kFieldNames[i] << "=" << value << (i + 1 < ob::kWriteRecords ? " " : "");
  }
  return out.str();
}

}  // namespace orvell_test
