#include "frame/mp4_offsets.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include <taglib/mp4file.h>

namespace orvell {

namespace {

// The boxes TagLib descends into, and the first children that tell a
// plain "meta" box from one with version and flags.
const char* const kContainers[] = {"moov", "udta", "mdia", "meta", "ilst", "stbl",
                                   "minf", "moof", "traf", "trak", "stsd"};
const char* const kMetaChildren[] = {"hdlr", "ilst", "mhdr", "ctry", "lang"};

template <size_t N>
bool IsOneOf(const unsigned char* name, const char* const (&names)[N]) {
  for (const char* candidate : names) {
    if (std::memcmp(name, candidate, 4) == 0) return true;
  }
  return false;
}

uint64_t BigEndian(const unsigned char* bytes, size_t size) {
  uint64_t value = 0;
  for (size_t i = 0; i < size; ++i) value = value << 8 | bytes[i];
  return value;
}

// Reads the file through a window: first the start of the file, where the
// top-level boxes of a small file all are, then each top-level container
// whole, once, so that the boxes inside it come from memory. Reads outside
// the window go to the file.
class Reader {
 public:
  explicit Reader(TagLib::File& file) : file_(file) {
    // A file shorter than the first window is all in it; only a longer
    // one needs asking for its length.
    constexpr int64_t kFirst = 4096;
    Load(0, kFirst);
    end_ = static_cast<int64_t>(window_.size()) < kFirst ? static_cast<int64_t>(window_.size())
                                                         : static_cast<int64_t>(file.length());
  }

  int64_t End() const { return end_; }

  void Load(int64_t offset, int64_t length) {
    const int64_t from = offset - base_;
    if (from >= 0 && from + length <= static_cast<int64_t>(window_.size())) return;  // held
    file_.seek(offset);
    const TagLib::ByteVector bytes = file_.readBlock(static_cast<unsigned long>(length));
    window_.assign(bytes.data(), bytes.size());
    base_ = offset;
  }

  // Copies up to size bytes from position into out; returns how many the
  // file had.
  size_t Read(int64_t position, size_t size, unsigned char* out) {
    const int64_t from = position - base_;
    if (from >= 0 && from + static_cast<int64_t>(size) <= static_cast<int64_t>(window_.size())) {
      std::memcpy(out, window_.data() + from, size);
      return size;
    }
    if (position < 0 || position >= end_) return 0;
    file_.seek(position);
    const TagLib::ByteVector bytes = file_.readBlock(static_cast<unsigned long>(size));
    std::memcpy(out, bytes.data(), bytes.size());
    return bytes.size();
  }

 private:
  TagLib::File& file_;
  int64_t end_ = 0;
  int64_t base_ = 0;
  std::string window_;
};

// Walks the box tree as TagLib's MP4 parser does (the same box lengths,
// the same containers, the same stopping points), so that it meets every
// table TagLib's save rewrites. Where TagLib's course depends on the file
// system or on its line (TagLib 2 also stops at a box longer than the
// file), the walk takes the course that meets more boxes: it may refuse
// a damaged file TagLib would have saved unharmed, never the reverse.
class Walker {
 public:
  explicit Walker(TagLib::File& file) : reader_(file) {}

  bool AllTablesFit() {
    int64_t cursor = 0;
    while (cursor + 8 <= reader_.End() && Box(cursor, Scope::kTopLevel, -1)) {
    }
    return fit_;
  }

 private:
  // kMovie: inside the first top-level moov; kFragment: inside the first
  // top-level moof.
  enum class Scope { kTopLevel, kMovie, kFragment, kOther };

  // Parses the box at cursor (inside the box at parent, -1 for none) and
  // everything in it, checks it and the tables it holds, and moves cursor
  // to where TagLib's file position would be. False where TagLib stops
  // parsing the whole file.
  bool Box(int64_t& cursor, Scope scope, int64_t parent) {
    const int64_t offset = cursor;
    unsigned char header[8];
    if (reader_.Read(offset, 8, header) != 8) return Stop(cursor);
    int64_t length = static_cast<int64_t>(BigEndian(header, 4));
    cursor = offset + 8;
    if (length == 0) {
      length = reader_.End() - offset;  // the box runs to the end of the file
    } else if (length == 1) {
      unsigned char large[8];
      if (reader_.Read(cursor, 8, large) != 8) return Stop(cursor);
      length = static_cast<int64_t>(BigEndian(large, 8));
      cursor += 8;
    }
    if (length < 8) return Stop(cursor);
    const unsigned char* name = header + 4;

    Check(name, offset, length, scope, parent);
    if (!IsOneOf(name, kContainers)) {
      // TagLib seeks past a leaf. A box running past the end of the file
      // makes that seek land beyond it, where TagLib finds nothing more,
      // or fail (beyond what the file system can address), where TagLib
      // reads on from just after the header. Reading on covers both.
      if (length <= reader_.End() - offset) cursor = offset + length;
      return true;
    }
    if (scope == Scope::kTopLevel) {
      reader_.Load(offset, std::min(length, reader_.End() - offset));
    }
    if (std::memcmp(name, "meta", 4) == 0) {
      unsigned char first[8];
      const bool plain = reader_.Read(cursor, 8, first) == 8 && IsOneOf(first + 4, kMetaChildren);
      if (!plain) cursor += 4;  // version and flags
    } else if (std::memcmp(name, "stsd", 4) == 0) {
      cursor += 8;
    }
    const Scope inner = Inner(name, offset, length, scope);
    while (cursor - offset < length) {
      if (!Box(cursor, inner, offset)) return false;
    }
    return true;
  }

  Scope Inner(const unsigned char* name, int64_t offset, int64_t length, Scope scope) {
    if (scope != Scope::kTopLevel) return scope;
    if (std::memcmp(name, "moov", 4) == 0 && movie_ < 0) {
      movie_ = offset;
      fit_ = fit_ && Within(offset, length);
      return Scope::kMovie;
    }
    if (std::memcmp(name, "moof", 4) == 0 && !seen_fragment_) {
      seen_fragment_ = true;
      return Scope::kFragment;
    }
    return Scope::kOther;
  }

  bool Stop(int64_t& cursor) {
    cursor = reader_.End();
    return false;
  }

  void Check(const unsigned char* name, int64_t offset, int64_t length, Scope scope,
             int64_t parent) {
    if (scope == Scope::kMovie) {
      // TagLib's save takes the room of the boxes around the tag at their
      // word, and pads a tag out to fill them: a box running past the end
      // of the file would grow it by as much.
      fit_ = fit_ && Within(offset, length);
      // A tag added where there was none goes 8 bytes into the movie box
      // or its first udta box. A table starting right there is not moved
      // along in TagLib's count, which it then reads from the new tag.
      if (std::memcmp(name, "udta", 4) == 0 && parent == movie_ && udta_ < 0) udta_ = offset;
      const bool moved_wrongly = offset == movie_ + 8 || (udta_ >= 0 && offset == udta_ + 8);
      if (std::memcmp(name, "stco", 4) == 0) {
        fit_ = fit_ && !moved_wrongly && TableFits(offset, length, 4);
      } else if (std::memcmp(name, "co64", 4) == 0) {
        fit_ = fit_ && !moved_wrongly && TableFits(offset, length, 8);
      }
    } else if (scope == Scope::kFragment && std::memcmp(name, "tfhd", 4) == 0) {
      fit_ = fit_ && BaseOffsetFits(offset, length);
    }
  }

  bool Within(int64_t offset, int64_t length) const { return length <= reader_.End() - offset; }

  // A table of entry_size-byte entries: TagLib reads the count 12 bytes
  // into the box and rewrites that many entries from 16 bytes in.
  bool TableFits(int64_t offset, int64_t length, int64_t entry_size) {
    unsigned char count_bytes[4];
    if (reader_.Read(offset + 12, 4, count_bytes) != 4) return false;
    const int64_t count = static_cast<int64_t>(BigEndian(count_bytes, 4));
    if (count == 0) return true;  // nothing is written
    const int64_t end = offset + 16 + count * entry_size;
    return end - offset <= length && end <= reader_.End();
  }

  // A track fragment header: when bit 0 of its flags (9 bytes in) is set,
  // TagLib rewrites the 8-byte base offset 16 bytes in.
  bool BaseOffsetFits(int64_t offset, int64_t length) {
    if (length >= 24 && offset + 24 <= reader_.End()) return true;
    if (length < 12) return false;  // TagLib would read its flags from outside the box
    unsigned char flags[3];
    return reader_.Read(offset + 9, 3, flags) == 3 && (flags[2] & 1) == 0;
  }

  Reader reader_;
  bool fit_ = true;
  int64_t movie_ = -1;  // the first top-level moov
  int64_t udta_ = -1;   // its first udta child
  bool seen_fragment_ = false;
};

}  // namespace

bool OffsetTablesFit(TagLib::File& file) {
  if (dynamic_cast<TagLib::MP4::File*>(&file) == nullptr) return true;
  const bool fit = Walker(file).AllTablesFit();
  file.seek(0);
  return fit;
}

}  // namespace orvell
