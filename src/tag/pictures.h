// The pictures a file holds (cover art and the rest of the ID3v2 picture
// types), wherever its format keeps them: ID3v2 APIC frames (MP3, WAV,
// AIFF, TrueAudio), FLAC picture blocks, Xiph comments (Vorbis, Opus,
// Speex, FLAC in Ogg), the MP4 "covr" item, WMA's WM/Picture and APE's
// "Cover Art (...)" items (APE, WavPack, Musepack). Read and written the
// same way on every TagLib line, through each format's own types.
#ifndef ORVELL_TAG_PICTURES_H
#define ORVELL_TAG_PICTURES_H

#include <memory>
#include <string>
#include <vector>

#include <taglib/tbytevector.h>
#include <taglib/tfile.h>

namespace orvell {

// The ID3v2 picture types, 0 ("other") to 20 ("publisher logo").
constexpr int kFrontCover = 3;
constexpr int kLastPictureType = 20;

struct Picture {
  int type = kFrontCover;
  std::string mime;         // "image/jpeg"
  std::string description;  // UTF-8
  TagLib::ByteVector data;
  bool operator==(const Picture& o) const {
    return type == o.type && mime == o.mime && description == o.description && data == o.data;
  }
};

// The MIME type of an image, told from its first bytes (JPEG, PNG, GIF,
// BMP, WebP); empty when it is none of them.
std::string ImageTypeOf(const TagLib::ByteVector& data);

class PictureStore {
 public:
  virtual ~PictureStore() = default;
  // The pictures, in the order the file keeps them.
  virtual std::vector<Picture> List() const = 0;
  // Why the format cannot keep picture as it is; null when it can.
  virtual const char* CannotHold(const Picture& picture) const;
  // Puts picture in the place of every picture of its type.
  virtual void Replace(const Picture& picture) = 0;
  // Removes the pictures of type, or all with -1.
  virtual void Remove(int type) = 0;
};

// Where file keeps its pictures; null for a format that keeps none.
// create: make the tag that holds them where the file has none yet.
std::unique_ptr<PictureStore> PicturesOf(TagLib::File& file, bool create);

}  // namespace orvell

#endif
