#include "support/set_fields.h"

#include "orvell.h"

namespace orvell_test {

bool SetEachField(const std::string& path, const FieldValues& values) {
  using TextSetter = int32_t (*)(const char*, const char*);
  using NumberSetter = int32_t (*)(const char*, int32_t);
  const TextSetter texts[8] = {OV_SetTitle, OV_SetArtist,  OV_SetAlbumArtist, OV_SetAlbum,
                               OV_SetGenre, OV_SetComment, OV_SetComposer,    OV_SetConductor};
  const NumberSetter numbers[5] = {OV_SetYear, OV_SetTrack, OV_SetTrackTotal, OV_SetDisc,
                                   OV_SetDiscTotal};
  const char* p = path.c_str();
  for (size_t i = 0; i < 8; ++i) {
    if (texts[i](p, values.texts[i].c_str()) != 1) return false;
  }
  for (size_t i = 0; i < 5; ++i) {
    if (numbers[i](p, values.numbers[i]) != 1) return false;
  }
  return true;
}

}  // namespace orvell_test
