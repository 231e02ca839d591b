#include "stream/overlay_stream.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace orvell::stream {

OverlayStream::OverlayStream(FileSource& source) : source_(source), size_(source.Size()) {
  if (size_ > 0) pieces_.emplace(0, Piece{Piece::Kind::File, 0, size_});
}

OverlayStream::OverlayStream(ViewOf view)
    : source_(view.other.source_),
      view_(true),
      pieces_(view.other.pieces_),
      size_(view.other.size_),
      written_(view.other.written_) {}

TagLib::FileName OverlayStream::name() const { return source_.Path(); }

bool OverlayStream::readOnly() const { return view_ || source_.WriteDescriptor() < 0; }

size_t OverlayStream::ReadAt(int64_t position, size_t size, char* out) {
  if (position < 0 || position >= size_) return 0;
  size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), size_ - position));
  auto it = std::prev(pieces_.upper_bound(position));
  size_t done = 0;
  while (done < size && it != pieces_.end()) {
    const int64_t at = position + static_cast<int64_t>(done);
    const Piece& piece = it->second;
    const int64_t from = at - it->first;
    const size_t n = static_cast<size_t>(std::min<int64_t>(piece.length - from,
                                                           static_cast<int64_t>(size - done)));
    switch (piece.kind) {
      case Piece::Kind::File: {
        const size_t got = source_.ReadAt(piece.source + from, n, out + done);
        if (got != n) return done + got;  // the file ended early or failed
        break;
      }
      case Piece::Kind::Written:
        std::memcpy(out + done, written_->data() + piece.source + from, n);
        break;
      case Piece::Kind::Zeros:
        std::memset(out + done, 0, n);
        break;
    }
    done += n;
    ++it;
  }
  return done;
}

const char* OverlayStream::Together(int64_t position, size_t size) {
  size_t available = 0;
  const auto it = std::prev(pieces_.upper_bound(position));
  const Piece& piece = it->second;
  const int64_t from = position - it->first;
  if (piece.length - from < static_cast<int64_t>(size)) return nullptr;
  switch (piece.kind) {
    case Piece::Kind::Written:
      return WrittenBytes(piece) + from;
    case Piece::Kind::File: {
      const char* held = source_.Peek(piece.source + from, size, available);
      return available == size ? held : nullptr;
    }
    case Piece::Kind::Zeros:
      break;
  }
  return nullptr;
}

TagLib::ByteVector OverlayStream::readBlock(StreamLength length) {
  if (position_ >= size_ || length == 0) return TagLib::ByteVector();
  const int64_t wanted = std::min<int64_t>(static_cast<int64_t>(std::min<StreamLength>(
                                               length, static_cast<StreamLength>(INT64_MAX))),
                                           size_ - position_);
  // Bytes that lie together in memory are handed over with one copy. A
  // read too long for the file's cache is read straight into the vector.
  if (wanted < static_cast<int64_t>(FileSource::kLongestCachedRead)) {
    if (const char* held = Together(position_, static_cast<size_t>(wanted))) {
      position_ += wanted;
      return TagLib::ByteVector(held, static_cast<unsigned int>(wanted));
    }
  }
  TagLib::ByteVector bytes(static_cast<unsigned int>(wanted));
  const size_t got = ReadAt(position_, static_cast<size_t>(wanted), bytes.data());
  bytes.resize(static_cast<unsigned int>(got));
  position_ += static_cast<int64_t>(got);
  return bytes;
}

bool OverlayStream::Accepts(size_t bytes) {
  if (readOnly() || overflowed_) return false;
  written_total_ += static_cast<int64_t>(bytes);
  if (written_total_ > write_limit_) {
    overflowed_ = true;
    return false;
  }
  changed_ = true;
  return true;
}

Piece OverlayStream::AppendWritten(const TagLib::ByteVector& data) {
  const Piece piece{Piece::Kind::Written, static_cast<int64_t>(own_written_.size()),
                    static_cast<int64_t>(data.size())};
  own_written_.append(data.data(), data.size());
  return piece;
}

void OverlayStream::writeBlock(const TagLib::ByteVector& data) {
  if (!Accepts(data.size())) return;
  const int64_t length = static_cast<int64_t>(data.size());
  Splice(position_, std::min(length, std::max<int64_t>(0, size_ - position_)), AppendWritten(data));
  position_ += length;
}

bool OverlayStream::WriteAt(int64_t position, const std::string& bytes) {
  if (position < 0 || position > size_ || !Accepts(bytes.size())) return false;
  const TagLib::ByteVector data(bytes.data(), static_cast<unsigned int>(bytes.size()));
  const int64_t length = static_cast<int64_t>(bytes.size());
  Splice(position, std::min(length, size_ - position), AppendWritten(data));
  return true;
}

int64_t OverlayStream::WhereNow(int64_t position) const {
  for (const auto& [at, piece] : pieces_) {
    if (piece.kind == Piece::Kind::File && position >= piece.source &&
        position < piece.source + piece.length) {
      return at + position - piece.source;
    }
  }
  return -1;
}

void OverlayStream::insert(const TagLib::ByteVector& data, StreamStart start,
                           StreamLength replace) {
  if (static_cast<int64_t>(start) < 0 || !Accepts(data.size())) return;
  const int64_t at = static_cast<int64_t>(start);
  // A length past the end (TagLib computes some from sizes read from the
  // file) replaces up to the end.
  const int64_t removed =
      std::min<int64_t>(static_cast<int64_t>(std::min<StreamLength>(
                            replace, static_cast<StreamLength>(INT64_MAX))),
                        std::max<int64_t>(0, size_ - at));
  Splice(at, removed, AppendWritten(data));
  // TagLib's file stream leaves its position after the data when the
  // lengths match, and at the end of the file when it had to move the rest.
  position_ = static_cast<int64_t>(data.size()) == removed ? at + removed : size_;
}

void OverlayStream::removeBlock(StreamStart start, StreamLength length) {
  if (static_cast<int64_t>(start) < 0 || !Accepts(0)) return;
  const int64_t at = static_cast<int64_t>(start);
  const int64_t removed = std::min<int64_t>(
      static_cast<int64_t>(std::min<StreamLength>(length, static_cast<StreamLength>(INT64_MAX))),
      std::max<int64_t>(0, size_ - at));
  Splice(at, removed, Piece{Piece::Kind::Zeros, 0, 0});
  position_ = size_;
}

void OverlayStream::truncate(StreamOffset length) {
  if (length < 0 || !Accepts(0)) return;
  const int64_t at = static_cast<int64_t>(length);
  if (at < size_) {
    Splice(at, size_ - at, Piece{Piece::Kind::Zeros, 0, 0});
  } else if (at > size_) {
    Splice(size_, 0, Piece{Piece::Kind::Zeros, 0, at - size_});
  }
}

void OverlayStream::seek(StreamOffset offset, Position p) {
  int64_t base = 0;
  if (p == Current) base = position_;
  if (p == End) base = size_;
  const int64_t target = base + static_cast<int64_t>(offset);
  // As on a file, a position before the start, or beyond what the file
  // system can address, is refused and the position stays.
  if (target >= 0 && (target <= size_ || source_.Reaches(target))) position_ = target;
}

void OverlayStream::Split(int64_t at) {
  auto it = pieces_.upper_bound(at);
  if (it == pieces_.begin()) return;
  --it;
  const int64_t from = at - it->first;
  Piece& piece = it->second;
  if (from == 0 || from >= piece.length) return;
  Piece rest = piece;
  rest.length -= from;
  if (rest.kind != Piece::Kind::Zeros) rest.source += from;
  piece.length = from;
  pieces_.emplace_hint(std::next(it), at, rest);
}

void OverlayStream::Shift(int64_t from, int64_t delta) {
  if (delta == 0) return;
  std::vector<PieceMap::node_type> moved;
  for (auto it = pieces_.lower_bound(from); it != pieces_.end();) {
    moved.push_back(pieces_.extract(it++));
  }
  for (auto& node : moved) {
    node.key() += delta;
    pieces_.insert(pieces_.end(), std::move(node));
  }
}

// Joins the piece at at with its neighbours where they continue each other,
// so that a run of small writes stays a few pieces.
void OverlayStream::Coalesce(int64_t at) {
  auto joins = [&](PieceMap::iterator left, PieceMap::iterator right) {
    const Piece& a = left->second;
    const Piece& b = right->second;
    if (a.kind != b.kind || left->first + a.length != right->first) return false;
    return a.kind == Piece::Kind::Zeros || a.source + a.length == b.source;
  };
  auto it = pieces_.lower_bound(at);
  if (it != pieces_.begin() && it != pieces_.end()) {
    auto before = std::prev(it);
    if (joins(before, it)) {
      before->second.length += it->second.length;
      pieces_.erase(it);
      it = before;
    }
  }
  if (it == pieces_.end()) return;
  auto after = std::next(it);
  if (after != pieces_.end() && joins(it, after)) {
    it->second.length += after->second.length;
    pieces_.erase(after);
  }
}

void OverlayStream::Splice(int64_t at, int64_t removed, const Piece& piece) {
  if (at > size_) {
    // Writing past the end leaves a hole of zeros, as on a file.
    pieces_.emplace(size_, Piece{Piece::Kind::Zeros, 0, at - size_});
    Coalesce(size_);
    size_ = at;
  }
  const int64_t end = std::min(at + removed, size_);
  Split(at);
  Split(end);
  pieces_.erase(pieces_.lower_bound(at), pieces_.lower_bound(end));
  Shift(end, piece.length - (end - at));
  size_ += piece.length - (end - at);
  if (piece.length > 0) pieces_.emplace(at, piece);
  Coalesce(at);
  if (piece.length > 0) Coalesce(at + piece.length);
}

}  // namespace orvell::stream
