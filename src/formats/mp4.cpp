#include "formats/containers.h"

#include <string>

#include "formats/mp4_boxes.h"
#include "stream/overlay_stream.h"

namespace orvell::formats {

namespace {

// The boxes a decoder goes into on its way to the media data and the
// positions pointing at it.
bool IsDecoderContainer(const char* name) {
  return stream::IsOneOf4(name, {"moov", "trak", "mdia", "minf", "stbl", "moof", "traf", "mfra"});
}

class Mp4Reader {
 public:
  explicit Mp4Reader(ByteSource& content) : content_(content), end_(content.Size()) {}

  Layout Read() {
    const Mp4Walk walk = WalkMp4(content_, [this](const Mp4Box& box) { Visit(box); });
    // A file whose walk finds no media data box says nothing of where its
    // audio is: a decoder, which reads each box within its parent, may
    // find some where TagLib's walk went past it.
    const bool placed = !layout_.audio.empty();
    layout_.audio_known = walk == Mp4Walk::Complete && audio_whole_ && placed;
    if (!layout_.audio_known) {
      layout_.audio.clear();
      layout_.spans.clear();
      layout_.pointers.clear();
      layout_.pointer_fields.clear();
    }
    return std::move(layout_);
  }

 private:
  void Visit(const Mp4Box& box) {
    CheckSafety(box);
    // A box running past the box around it takes TagLib's walk, and this
    // one, elsewhere than a decoder's: what either finds after it may not
    // be what the other finds.
    if (box.depth > 0 && box.length > box.parent_end - box.offset) audio_whole_ = false;
    // A box is on a decoder's way when every box around it is one a
    // decoder goes into; containers off that way (udta, meta, ...) hold
    // nothing a decoder reads.
    while (!path_.empty() && path_.back().end <= box.offset) path_.pop_back();
    const bool on_path = path_.size() == static_cast<size_t>(box.depth) &&
                         (path_.empty() || path_.back().offset == box.parent);
    if (!on_path || !audio_whole_) return;
    ReadAudio(box);
    if (IsDecoderContainer(box.name)) path_.push_back({box.offset, box.offset + box.length});
  }

  // What TagLib's save relies on, in the first movie box and the first
  // movie fragment.
  void CheckSafety(const Mp4Box& box) {
    if (box.depth == 0) {
      if (box.IsNamed("moov") && movie_ < 0) {
        movie_ = box.offset;
        CheckMovieBox(box);
      } else if (box.IsNamed("moof") && fragment_ < 0) {
        fragment_ = box.offset;
      }
      return;
    }
    if (box.top == movie_) {
      CheckMovieBox(box);
      // A tag added where there was none goes 8 bytes into the movie box
      // or its first udta box. A table starting right there is not moved
      // along in TagLib's count, which it then reads from the new tag.
      if (box.IsNamed("udta") && box.parent == movie_ && udta_ < 0) udta_ = box.offset;
      const bool moved_wrongly =
          box.offset == movie_ + 8 || (udta_ >= 0 && box.offset == udta_ + 8);
      const bool table = box.IsNamed("stco") || box.IsNamed("co64");
      if (table && moved_wrongly) {
        layout_.Refuse("a chunk-offset table starts where TagLib would put a new tag");
      } else if (table && !TableFits(box, box.IsNamed("stco") ? 4 : 8)) {
        layout_.Refuse("a chunk-offset table claims more entries than its box holds");
      }
    } else if (box.top == fragment_ && box.IsNamed("tfhd") && !BaseOffsetFits(box)) {
      layout_.Refuse("a track fragment header's base offset lies outside its box");
    }
  }

  // TagLib's save takes the room of the boxes around the tag at their
  // word, and pads a tag out to fill them: a box running past the end of
  // the file would grow it by as much. A size of 0 it rewrites as the
  // growth alone.
  void CheckMovieBox(const Mp4Box& box) {
    if (!Within(box)) layout_.Refuse("a box of the MP4 movie runs past the end of the file");
    if (box.declared == 0) layout_.Refuse("a box of the MP4 movie declares size 0");
  }

  bool Within(const Mp4Box& box) const { return box.length <= end_ - box.offset; }

  // TagLib reads a table's entry count 12 bytes into the box and rewrites
  // that many entries from 16 bytes in.
  bool TableFits(const Mp4Box& box, int64_t entry_size) {
    char count_bytes[4];
    if (content_.ReadAt(box.offset + 12, 4, count_bytes) != 4) return false;
    const auto count = static_cast<int64_t>(stream::BigEndian(count_bytes, 4));
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

  // A decoder reads each box within its parent, a size of 0 running to
  // the parent's end; where TagLib's walk would take a box otherwise, the
  // two part ways and the audio is not known.
  void ReadAudio(const Mp4Box& box) {
    const int64_t room = box.parent_end - box.offset;
    const bool to_parent_end = box.declared == 0 && box.parent_end == end_;
    if (box.length < box.header_size || box.length > room ||
        (box.declared == 0 && !to_parent_end)) {
      audio_whole_ = false;
      return;
    }
    const int64_t body = box.offset + box.header_size;
    if (box.depth == 0 && box.IsNamed("mdat")) {
      layout_.AddRun(body, box.length - box.header_size);
    } else if (box.IsNamed("stco") || box.IsNamed("co64")) {
      audio_whole_ = ReadChunkOffsets(box, box.IsNamed("stco") ? 4 : 8);
    } else if (box.IsNamed("tfhd") && box.length >= 24) {
      char head[24];
      if (content_.ReadAt(box.offset, 24, head) == 24 && (head[11] & 1) != 0) {
        AddPointer(box.offset + 16, 8, head + 16);
      }
    } else if (box.IsNamed("tfra") && box.length >= 24) {
      audio_whole_ = ReadRandomAccess(box);
    }
  }

  bool ReadChunkOffsets(const Mp4Box& box, int64_t entry) {
    char count_bytes[4];
    if (content_.ReadAt(box.offset + 12, 4, count_bytes) != 4) return false;
    const auto count = static_cast<int64_t>(stream::BigEndian(count_bytes, 4));
    if (count > (box.length - 16) / entry) return false;
    std::string entries(static_cast<size_t>(count * entry), '\0');
    if (content_.ReadAt(box.offset + 16, entries.size(), entries.data()) != entries.size()) {
      return false;
    }
    for (int64_t i = 0; i < count; ++i) {
      AddPointer(box.offset + 16 + i * entry, entry, entries.data() + i * entry);
    }
    return true;
  }

  // A random-access entry holds a time, the offset of its moof box, and
  // three numbers of 1 to 4 bytes.
  bool ReadRandomAccess(const Mp4Box& box) {
    std::string body(static_cast<size_t>(box.length - 8), '\0');
    if (content_.ReadAt(box.offset + 8, body.size(), body.data()) != body.size()) return false;
    const size_t wide = body[0] == 1 ? 8 : 4;
    const auto sizes = static_cast<uint32_t>(stream::BigEndian(body.data() + 8, 4));
    const size_t numbers = 3 + ((sizes >> 4) & 3) + ((sizes >> 2) & 3) + (sizes & 3);
    const auto count = static_cast<size_t>(stream::BigEndian(body.data() + 12, 4));
    const size_t stride = 2 * wide + numbers;
    if (count > (body.size() - 16) / stride) return false;
    for (size_t i = 0; i < count; ++i) {
      const size_t field = 16 + i * stride + wide;
      AddPointer(box.offset + 8 + static_cast<int64_t>(field), static_cast<int64_t>(wide),
                 body.data() + field);
    }
    return true;
  }

  // The big-endian position of width bytes at bytes, held at offset.
  void AddPointer(int64_t offset, int64_t width, const char* bytes) {
    layout_.pointers.push_back(
        static_cast<int64_t>(stream::BigEndian(bytes, static_cast<size_t>(width))));
    layout_.pointer_fields.push_back({offset, width});
  }

  struct Open {
    int64_t offset;
    int64_t end;
  };

  ByteSource& content_;
  const int64_t end_;
  Layout layout_;
  bool audio_whole_ = true;
  std::vector<Open> path_;  // the decoder's containers around the box visited
  int64_t movie_ = -1;      // the first top-level moov
  int64_t udta_ = -1;       // its first udta child
  int64_t fragment_ = -1;   // the first top-level moof
};

}  // namespace

Layout ReadMp4Layout(ByteSource& content) { return Mp4Reader(content).Read(); }

bool MoveMp4Pointers(stream::OverlayStream& after, ByteSource&, const Layout& old) {
  if (!old.audio_known || old.pointers.empty() || !after.Changed()) return true;
  const Layout now = ReadMp4Layout(after);
  // Where the two do not pair up, the check after the save refuses it.
  if (!now.audio_known || now.pointers.size() != old.pointers.size()) return true;
  for (size_t i = 0; i < now.pointers.size(); ++i) {
    const int64_t was = old.pointers[i];
    const int64_t moved = after.WhereNow(was);
    // A position TagLib moved itself, or one whose bytes are gone, is left.
    if (moved < 0 || moved == was || now.pointers[i] != was) continue;
    const Span& field = now.pointer_fields[i];
    if (field.length < 8 && (moved >> (8 * field.length)) != 0) continue;  // does not fit
    std::string bytes(static_cast<size_t>(field.length), '\0');
    for (int64_t b = 0; b < field.length; ++b) {
      bytes[static_cast<size_t>(field.length - 1 - b)] = static_cast<char>(moved >> (8 * b));
    }
    if (!after.WriteAt(field.offset, bytes)) return false;
  }
  return true;
}

}  // namespace orvell::formats
