#include "save/commit.h"

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
  for (auto it = stream.Pieces().begin(); done && it != stream.Pieces().end(); ++it) {
    const Piece& piece = it->second;
    if (piece.kind == Piece::Kind::File) {
      done = os::CopyRange(source.Descriptor(), piece.source, descriptor, it->first, piece.length);
    } else if (piece.kind == Piece::Kind::Written) {
      done = os::WriteAll(descriptor, stream.WrittenBytes(piece), piece.length, it->first);
    }
  }
  done = done && os::Truncate(descriptor, size);
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
