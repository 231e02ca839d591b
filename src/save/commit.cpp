#include "save/commit.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

#include "os/file.h"
#include "os/temporary_file.h"
#include "save/in_place.h"
#include "save/unchecked.h"

namespace orvell::save {

namespace {

using stream::FileSource;
using stream::OverlayStream;
using stream::Piece;

// Writes the pieces of a content to a file, in order. Long runs of the
// file's own bytes are copied by the kernel (on some file systems without
// copying at all); the rest, the bytes TagLib wrote and short runs between
// them (an Ogg file's pages, say, each with a header rewritten), are
// gathered in memory and written a megabyte at a time rather than a call
// each.
class PieceWriter {
 public:
  PieceWriter(FileSource& source, const OverlayStream& stream, int to)
      : source_(source), stream_(stream), to_(to) {
    // A small file's bytes are gathered on the stack: the heap's first
    // block of a kilobyte or more costs as much as the whole copy.
    if (stream.Size() > static_cast<int64_t>(sizeof small_)) {
      large_.reset(new char[kGathered]);
      buffer_ = large_.get();
      capacity_ = kGathered;
    }
  }

  bool Add(int64_t at, const Piece& piece) {
    if (piece.kind == Piece::Kind::File && piece.length >= kGathered) {
      return Flush() && os::CopyRange(source_.Descriptor(), piece.source, to_, at, piece.length);
    }
    for (int64_t done = 0; done < piece.length;) {
      if (filled_ == 0) gathered_at_ = at + done;
      const size_t n =
          static_cast<size_t>(std::min<int64_t>(piece.length - done, capacity_ - filled_));
      char* out = buffer_ + filled_;
      if (piece.kind == Piece::Kind::Written) {
        std::memcpy(out, stream_.WrittenBytes(piece) + done, n);
      } else if (piece.kind == Piece::Kind::Zeros) {
        std::memset(out, 0, n);
      } else if (source_.ReadAt(piece.source + done, n, out) != n) {
        return false;
      }
      filled_ += static_cast<int64_t>(n);
      done += static_cast<int64_t>(n);
      if (filled_ == capacity_ && !Flush()) return false;
    }
    return true;
  }

  bool Flush() {
    const bool written = os::WriteAll(to_, buffer_, filled_, gathered_at_);
    filled_ = 0;
    return written;
  }

 private:
  static constexpr int64_t kGathered = 1024 * 1024;

  FileSource& source_;
  const OverlayStream& stream_;
  const int to_;
  char small_[16 * 1024];
  std::unique_ptr<char[]> large_;
  char* buffer_ = small_;
  int64_t capacity_ = sizeof small_;
  int64_t filled_ = 0;
  int64_t gathered_at_ = 0;
};

// Writes the content to a new file beside target and renames it over
// target. False with nothing left behind when anything fails; unavailable
// is set when no temporary file could be made at all.
bool ReplaceThroughTemporary(OverlayStream& stream, const std::string& target, bool& unavailable) {
  FileSource& source = stream.Source();
  os::TemporaryFile temporary(target);
  if (!temporary.IsOpen()) {
    unavailable = true;
    return false;
  }
  const int descriptor = temporary.Descriptor();
  const os::FileFacts& facts = source.Facts();
  const int64_t size = stream.Size();
  bool done = os::Reserve(descriptor, 0, size, true);
  PieceWriter writer(source, stream, descriptor);
  for (auto it = stream.Pieces().begin(); done && it != stream.Pieces().end(); ++it) {
    done = writer.Add(it->first, it->second);
  }
  done = done && writer.Flush() && os::Truncate(descriptor, size);
  if (done) {
    Unchecked(os::SetOwner(descriptor, facts.owner, facts.group),
              "without privilege only the owner's own group, or nothing, may be set: the file "
              "then belongs to whoever saves it");
  }
  done = done && os::SetMode(descriptor, facts.mode & 07777) && os::Sync(descriptor);
  // The path must still name the file that was read.
  return done && os::StillNames(target.c_str(), facts) && temporary.RenameOverTarget();
}

}  // namespace

bool Commit(OverlayStream& stream, bool in_place_allowed, const formats::Layout& old) {
  FileSource& source = stream.Source();
  if (source.WriteDescriptor() < 0) return false;

  // Tag bytes that change where they are, away from the audio, are written
  // in place.
  if (in_place_allowed && old.audio_known && NothingMoved(stream)) {
    std::string tail;
    if (const auto changes = ChangesInPlace(stream, tail)) {
      bool away = !TouchesAudio(old, stream.Size(), source.Size());
      for (const Change& change : *changes) {
        away = away && !TouchesAudio(old, change.offset, change.offset + change.length);
      }
      if (away) return WriteInPlace(source, *changes, stream.Size());
    }
  }

  const std::string resolved = os::ResolvedPath(source.Path());
  if (resolved.empty()) return false;
  bool unavailable = source.Facts().links > 1;
  if (!unavailable && ReplaceThroughTemporary(stream, resolved, unavailable)) return true;
  return unavailable && RewriteInPlace(stream);
}

}  // namespace orvell::save
