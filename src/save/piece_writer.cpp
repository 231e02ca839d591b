#include "save/piece_writer.h"

#include <algorithm>
#include <cstring>

#include "os/file.h"

namespace orvell::save {

using stream::Piece;

PieceWriter::PieceWriter(stream::FileSource& source, const stream::OverlayStream& stream, int to)
    : source_(source), stream_(stream), to_(to) {
  if (stream.Size() > static_cast<int64_t>(sizeof small_)) {
    large_.reset(new char[kGathered]);
    buffer_ = large_.get();
    capacity_ = kGathered;
  }
}

void PieceWriter::TakeFileBytesFrom(int64_t moved_from, int moved_to, int64_t moved_at) {
  moved_from_ = moved_from;
  moved_to_ = moved_to;
  moved_at_ = moved_at;
}

bool PieceWriter::CopyFileBytes(int64_t source, int64_t length, int64_t at) {
  // A run that starts before the moved bytes and reaches into them is
  // copied in two.
  if (source < moved_from_ && source + length > moved_from_) {
    const int64_t before = moved_from_ - source;
    return CopyFileBytes(source, before, at) && CopyFileBytes(moved_from_, length - before, at + before);
  }
  if (source >= moved_from_) {
    return os::CopyRange(moved_to_, moved_at_ + source - moved_from_, to_, at, length);
  }
  return os::CopyRange(source_.Descriptor(), source, to_, at, length);
}

bool PieceWriter::ReadFileBytes(int64_t source, size_t size, char* out) {
  const auto length = static_cast<int64_t>(size);
  if (source < moved_from_ && source + length > moved_from_) {
    const auto before = static_cast<size_t>(moved_from_ - source);
    return ReadFileBytes(source, before, out) &&
           ReadFileBytes(moved_from_, size - before, out + before);
  }
  if (source >= moved_from_) {
    return os::ReadFully(moved_to_, moved_at_ + source - moved_from_, size, out) == size;
  }
  return source_.ReadAt(source, size, out) == size;
}

bool PieceWriter::Add(int64_t at, const Piece& piece, int64_t into) {
  const int64_t length = piece.length - into;
  if (piece.kind == Piece::Kind::File && length >= kGathered) {
    return Flush() && CopyFileBytes(piece.source + into, length, at);
  }
  for (int64_t done = 0; done < length;) {
    if (filled_ == 0) gathered_at_ = at + done;
    const size_t n = static_cast<size_t>(std::min<int64_t>(length - done, capacity_ - filled_));
    char* out = buffer_ + filled_;
    if (piece.kind == Piece::Kind::Written) {
      std::memcpy(out, stream_.WrittenBytes(piece) + into + done, n);
    } else if (piece.kind == Piece::Kind::Zeros) {
      std::memset(out, 0, n);
    } else if (!ReadFileBytes(piece.source + into + done, n, out)) {
      return false;
    }
    filled_ += static_cast<int64_t>(n);
    done += static_cast<int64_t>(n);
    if (filled_ == capacity_ && !Flush()) return false;
  }
  return true;
}

bool PieceWriter::Flush() {
  const bool written = os::WriteAll(to_, buffer_, filled_, gathered_at_);
  filled_ = 0;
  return written;
}

}  // namespace orvell::save
