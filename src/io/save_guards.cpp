#include "io/save_guards.h"

#include <algorithm>
#include <cstring>

#include <taglib/asffile.h>
#include <taglib/flacfile.h>
#include <taglib/flacpicture.h>
#include <taglib/taglib.h>
#include <taglib/xiphcomment.h>

#include "io/mp4_walk.h"
#include "io/ogg_walk.h"
#include "io/tag_places.h"

namespace orvell::io {

namespace {

constexpr int64_t kFlacBlockMax = 0xFFFFFF;

class Mp4Check {
 public:
  explicit Mp4Check(Content& content) : content_(content), end_(content.Size()) {}

  bool Run() {
    WalkMp4(content_, [this](const Mp4Box& box) { Visit(box); });
    return fit_;
  }

 private:
  void Visit(const Mp4Box& box) {
    if (box.depth == 0) {
      if (box.IsNamed("moov") && movie_ < 0) {
        movie_ = box.offset;
        fit_ = fit_ && Within(box) && box.declared != 0;
      } else if (box.IsNamed("moof") && fragment_ < 0) {
        fragment_ = box.offset;
      }
      return;
    }
    if (box.top == movie_) {
      // TagLib's save takes the room of the boxes around the tag at their
      // word, and pads a tag out to fill them: a box running past the end
      // of the file would grow it by as much. A size of 0 it rewrites as
      // the growth alone.
      fit_ = fit_ && Within(box) && box.declared != 0;
      // A tag added where there was none goes 8 bytes into the movie box
      // or its first udta box. A table starting right there is not moved
      // along in TagLib's count, which it then reads from the new tag.
      if (box.IsNamed("udta") && box.parent == movie_ && udta_ < 0) udta_ = box.offset;
      const bool moved_wrongly =
          box.offset == movie_ + 8 || (udta_ >= 0 && box.offset == udta_ + 8);
      if (box.IsNamed("stco")) fit_ = fit_ && !moved_wrongly && TableFits(box, 4);
      if (box.IsNamed("co64")) fit_ = fit_ && !moved_wrongly && TableFits(box, 8);
    } else if (box.top == fragment_ && box.IsNamed("tfhd")) {
      fit_ = fit_ && BaseOffsetFits(box);
    }
  }

  bool Within(const Mp4Box& box) const { return box.length <= end_ - box.offset; }

  // TagLib reads a table's entry count 12 bytes into the box and rewrites
  // that many entries from 16 bytes in.
  bool TableFits(const Mp4Box& box, int64_t entry_size) {
    char count_bytes[4];
    if (content_.ReadAt(box.offset + 12, 4, count_bytes) != 4) return false;
    const auto count = static_cast<int64_t>(BigEndian(count_bytes, 4));
    if (count == 0) return true;  // nothing is written
    const int64_t end = box.offset + 16 + count * entry_size;
    return end - box.offset <= box.length && end <= end_;
  }

  // When bit 0 of a track fragment header's flags (9 bytes in) is set,
  // TagLib rewrites the 8-byte base offset 16 bytes in.
  bool BaseOffsetFits(const Mp4Box& box) {
    if (box.length >= 24 && box.offset + 24 <= end_) return true;
    if (box.length < 12) return false;  // TagLib would read its flags from outside the box
    char flags[3];
    return content_.ReadAt(box.offset + 9, 3, flags) == 3 && (flags[2] & 1) == 0;
  }

  Content& content_;
  const int64_t end_;
  bool fit_ = true;
  int64_t movie_ = -1;     // the first top-level moov
  int64_t udta_ = -1;      // its first udta child
  int64_t fragment_ = -1;  // the first top-level moof
};

bool ChunksFit(Content& content, bool little_endian) {
  const int64_t end = content.Size();
  for (int64_t at = 12; at + 8 <= end;) {
    char chunk[8];
    if (content.ReadAt(at, 8, chunk) != 8) break;
    const int64_t size = little_endian ? LittleEndian32(chunk + 4)
                                       : static_cast<int64_t>(BigEndian(chunk + 4, 4));
    if (size > end - at - 8) return false;
    at += 8 + size + (size & 1);
  }
  return true;
}

bool AsfFits(TagLib::ASF::File& file, Content& content) {
  char header[24];
  if (content.ReadAt(0, 24, header) != 24) return false;
  const auto size = static_cast<int64_t>(LittleEndian64(header + 16));
  if (size < 30 || size > content.Size()) return false;
  const TagLib::ASF::Tag* tag = file.tag();
  if (tag == nullptr) return true;
  // Each is written as UTF-16 with a terminator, under a 16-bit length.
  for (const TagLib::String& text :
       {tag->title(), tag->artist(), tag->copyright(), tag->comment(), tag->rating()}) {
    if (2 * static_cast<int64_t>(text.size()) + 2 > 0xFFFF) return false;
  }
  return true;
}

// More than the bytes a picture block takes.
int64_t PictureBound(const TagLib::FLAC::Picture& picture) {
  return 32 + static_cast<int64_t>(picture.data().size()) +
         3 * static_cast<int64_t>(picture.mimeType().size() + picture.description().size());
}

bool FlacBlocksFit(TagLib::FLAC::File& file) {
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
      return false;
    }
  }
  for (const TagLib::FLAC::Picture* picture : file.pictureList()) {
    if (PictureBound(*picture) > kFlacBlockMax &&
        static_cast<int64_t>(picture->render().size()) > kFlacBlockMax) {
      return false;
    }
  }
  return true;
}

// TagLib before 2.2 writes the comment block of FLAC in Ogg with the
// last-block flag cleared, and over the stream header when there is none.
bool OggFlacCommentIsSafe(Content& content) {
#if TAGLIB_MAJOR_VERSION > 2 || (TAGLIB_MAJOR_VERSION == 2 && TAGLIB_MINOR_VERSION >= 2)
  (void)content;
  return true;
#else
  const OggContent ogg = WalkOgg(content, INT64_MAX);
  if (ogg.packets.empty()) return false;
  const uint32_t serial = ogg.packets[0].serial;
  for (size_t i = 1; i < ogg.packets.size(); ++i) {
    if (ogg.packets[i].serial != serial) continue;
    const std::string head = PacketBytes(content, ogg.packets[i], 1);
    if (head.empty()) return false;
    const bool last = (head[0] & 0x80) != 0;
    if ((head[0] & 0x7f) == 4) return !last;
    if (last) return false;
  }
  return false;
#endif
}

}  // namespace

bool Mp4SaveIsSafe(Content& content) { return Mp4Check(content).Run(); }

namespace {

bool Id3v2Fits(Content& content, Container container) {
  int64_t declared = 0;
  const Span tag = container == Container::Mpeg ? MpegId3v2(content, &declared)
                                                : Id3v2At(content, 0, &declared);
  return declared <= tag.length;
}

}  // namespace

bool SaveIsSafe(TagLib::File& file, Container container, Content& content) {
  switch (container) {
    case Container::Mp4: return Mp4SaveIsSafe(content);
    case Container::Wav: return ChunksFit(content, true);
    case Container::Aiff: return ChunksFit(content, false);
    case Container::Asf: return AsfFits(static_cast<TagLib::ASF::File&>(file), content);
    case Container::Flac:
      return Id3v2Fits(content, container) &&
             FlacBlocksFit(static_cast<TagLib::FLAC::File&>(file));
    case Container::Mpeg:
    case Container::Bare: return Id3v2Fits(content, container);
    case Container::OggFlac: return OggFlacCommentIsSafe(content);
    default: return true;
  }
}

}  // namespace orvell::io
