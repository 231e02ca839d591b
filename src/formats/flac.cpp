#include "formats/containers.h"

#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/xiphcomment.h>

#include "formats/ape.h"
#include "formats/id3.h"
#include "reason/reason.h"

namespace orvell::formats {

namespace {

constexpr int64_t kFlacBlockMax = 0xFFFFFF;

// More than the bytes a picture block takes.
int64_t PictureBound(const TagLib::FLAC::Picture& picture) {
  return 32 + static_cast<int64_t>(picture.data().size()) +
         3 * static_cast<int64_t>(picture.mimeType().size() + picture.description().size());
}

}  // namespace

bool FlacBlocksFit(TagLib::File& any) {
  auto& file = static_cast<TagLib::FLAC::File&>(any);
  // Rendering a block only to measure it costs as much as the save; a
  // bound on its size does, except near the limit: a UTF-16 unit takes at
  // most 3 bytes of UTF-8, a picture in a comment a third more in base64.
  if (TagLib::Ogg::XiphComment* comment = file.xiphComment(false)) {
    int64_t bound = 8 + 3 * static_cast<int64_t>(comment->vendorID().size());
    for (const auto& field : comment->fieldListMap()) {
      for (const TagLib::String& value : field.second) {
        bound += 5 + 3 * static_cast<int64_t>(field.first.size() + value.size());
      }
    }
    for (const TagLib::FLAC::Picture* picture : comment->pictureList()) {
      bound += 32 + 2 * PictureBound(*picture);
    }
    if (bound > kFlacBlockMax && static_cast<int64_t>(comment->render(false).size()) > kFlacBlockMax) {
      reason::Say("save refused: the FLAC comment block would be longer than 16,777,215 bytes");
      return false;
    }
  }
  for (const TagLib::FLAC::Picture* picture : file.pictureList()) {
    if (PictureBound(*picture) > kFlacBlockMax &&
        static_cast<int64_t>(picture->render().size()) > kFlacBlockMax) {
      reason::Say("save refused: a FLAC picture block would be longer than 16,777,215 bytes");
      return false;
    }
  }
  return true;
}

Layout ReadFlacLayout(ByteSource& content) {
  Layout layout;
  if (!Id3v2Fits(content, 0)) layout.Refuse(kId3v2PastTheEnd);
  int64_t at = Id3v2At(content, 0).End();
  if (!stream::HasAt(content, at, "fLaC")) return layout;
  at += 4;
  std::vector<Span> audio;
  for (bool last = false; !last;) {
    char header[4];
    if (content.ReadAt(at, 4, header) != 4) return layout;
    last = (header[0] & 0x80) != 0;
    const int64_t length = static_cast<int64_t>(stream::BigEndian(header + 1, 3));
    if ((header[0] & 0x7f) == 0) audio.push_back({at + 4, length});  // STREAMINFO
    at += 4 + length;
  }
  const int64_t end = TrailingTagsStart(content, content.Size());
  if (audio.empty() || at > end) return layout;
  audio.push_back({at, end - at});
  layout.audio_known = true;
  for (const Span& span : audio) layout.AddRun(span.offset, span.length);
  return layout;
}

}  // namespace orvell::formats
