#include "support/exports_table.h"

#include <string>

#include "orvell.h"

namespace orvell_test {
namespace {

ExportCase TextGetter(const char* name, TextGetterFn fn, int32_t no_tag) {
  return {name, Shape::TextGetter, fn, nullptr, nullptr, nullptr, nullptr, -3, no_tag, false};
}
ExportCase NumberGetter(const char* name, NumberGetterFn fn, int32_t no_tag) {
  return {name, Shape::NumberGetter, nullptr, fn, nullptr, nullptr, nullptr, -2, no_tag, false};
}
ExportCase TextSetter(const char* name, TextSetterFn fn, int32_t no_tag) {
  return {name, Shape::TextSetter, nullptr, nullptr, fn, nullptr, nullptr, -3, no_tag, true};
}
ExportCase NumberSetter(const char* name, NumberSetterFn fn, int32_t no_tag) {
  return {name, Shape::NumberSetter, nullptr, nullptr, nullptr, fn, nullptr, -3, no_tag, true};
}

// The fake files report 128 kb/s, 44100 Hz, 2 channels and 0 ms; a file
// without a tag still has them, and no property.
const std::vector<ExportCase> kExports = {
    TextGetter("OV_GetTitle", OV_GetTitle, -4),
    TextGetter("OV_GetArtist", OV_GetArtist, -4),
    TextGetter("OV_GetAlbum", OV_GetAlbum, -4),
    TextGetter("OV_GetGenre", OV_GetGenre, -4),
    TextGetter("OV_GetComment", OV_GetComment, -4),
    TextSetter("OV_SetTitle", OV_SetTitle, -4),
    TextSetter("OV_SetArtist", OV_SetArtist, -4),
    TextSetter("OV_SetAlbum", OV_SetAlbum, -4),
    TextSetter("OV_SetGenre", OV_SetGenre, -4),
    TextSetter("OV_SetComment", OV_SetComment, -4),
    NumberGetter("OV_GetYear", OV_GetYear, -3),
    NumberGetter("OV_GetTrack", OV_GetTrack, -3),
    NumberSetter("OV_SetYear", OV_SetYear, -4),
    NumberGetter("OV_GetDuration", OV_GetDuration, 0),
    NumberGetter("OV_GetBitrate", OV_GetBitrate, 128),
    NumberGetter("OV_GetSampleRate", OV_GetSampleRate, 44100),
    NumberGetter("OV_GetChannels", OV_GetChannels, 2),
    TextGetter("OV_GetAlbumArtist", OV_GetAlbumArtist, 0),
    TextGetter("OV_GetComposer", OV_GetComposer, 0),
    TextGetter("OV_GetConductor", OV_GetConductor, 0),
    TextSetter("OV_SetAlbumArtist", OV_SetAlbumArtist, 1),
    TextSetter("OV_SetComposer", OV_SetComposer, 1),
    TextSetter("OV_SetConductor", OV_SetConductor, 1),
    {"OV_SetArtistSync", Shape::SyncSetter, nullptr, nullptr, nullptr, nullptr, OV_SetArtistSync,
     -3, -4, true},
    NumberGetter("OV_GetTrackTotal", OV_GetTrackTotal, 0),
    NumberGetter("OV_GetDisc", OV_GetDisc, 0),
    NumberGetter("OV_GetDiscTotal", OV_GetDiscTotal, 0),
    NumberSetter("OV_SetTrack", OV_SetTrack, 1),
    NumberSetter("OV_SetTrackTotal", OV_SetTrackTotal, 1),
    NumberSetter("OV_SetDisc", OV_SetDisc, 1),
    NumberSetter("OV_SetDiscTotal", OV_SetDiscTotal, 1),
    {"OV_ReadTags", Shape::BulkRead, OV_ReadTags, nullptr, nullptr, nullptr, nullptr, -3, -4, false},
    {"OV_WriteTags", Shape::BulkWrite, nullptr, nullptr, nullptr, nullptr, OV_WriteTags, -3, -4,
     true},
};

// Sets the title to "x" and keeps everything else.
const char kSetTitleBlock[] = "2:1x1:01:01:01:01:01:01:01:01:01:01:01:0";

}  // namespace

const std::vector<ExportCase>& AllExports() { return kExports; }

int32_t CallGood(const ExportCase& e, const char* path) {
  char buffer[256] = {0};
  switch (e.shape) {
    case Shape::TextGetter:
    case Shape::BulkRead:
      return e.text_getter(path, buffer, sizeof buffer);
    case Shape::NumberGetter:
      return e.number_getter(path);
    case Shape::TextSetter:
      return e.text_setter(path, "x");
    case Shape::NumberSetter:
      return e.number_setter(path, 1);
    case Shape::SyncSetter:
      return e.text_int(path, "x", 1);
    case Shape::BulkWrite:
      return e.text_int(path, kSetTitleBlock, sizeof kSetTitleBlock);
  }
  return 0;
}

int32_t CallBad(const ExportCase& e, const char* path) {
  switch (e.shape) {
    case Shape::TextGetter:
    case Shape::BulkRead:
      return e.text_getter(path, nullptr, 256);
    case Shape::NumberGetter:
      return e.number_getter(path);
    case Shape::TextSetter:
      return e.text_setter(path, nullptr);
    case Shape::NumberSetter:
      return e.number_setter(path, -1);
    case Shape::SyncSetter:
      return e.text_int(path, nullptr, 1);
    case Shape::BulkWrite:
      return e.text_int(path, nullptr, 64);
  }
  return 0;
}

std::string ExportName(const ExportCase& e) { return std::string(e.name).substr(3); }

}  // namespace orvell_test
