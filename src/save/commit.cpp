#include "save/commit.h"

#include <cerrno>
#include <string>

#include "os/file.h"
#include "os/identity.h"
#include "os/side_file.h"
#include "save/in_place.h"
#include "save/journal.h"
#include "save/piece_writer.h"

namespace orvell::save {

namespace {

using stream::FileSource;
using stream::OverlayStream;

// Whether a failure's error number says the process lacks a right (or the
// file system a feature) rather than that the disk failed: the save may
// then go another way.
bool NotAllowed(int error) {
  return error == EPERM || error == EACCES || error == ENOTSUP || error == EROFS ||
         error == EXDEV || error == EBUSY || error == EEXIST;
}

// Whether the file may be replaced at all: one name only, in a folder that
// lets a name be renamed over, on the folder's own file system (a file
// mounted where it stands cannot be renamed over).
bool MayReplace(const FileSource& source, const std::string& target) {
  const os::FileFacts& facts = source.Facts();
  const std::string folder = os::FolderOf(target);
  os::FileFacts folder_facts;
  return facts.links == 1 && os::FolderTakesReplacement(folder) &&
         os::StatFacts(folder.c_str(), folder_facts) && folder_facts.device == facts.device;
}

// Writes the content to the side file, gives it the file's identity and
// renames it over target. False with nothing left behind when anything
// fails; unavailable is set when that is for want of a right, not for a
// failing disk.
bool ReplaceThroughSideFile(OverlayStream& stream, const std::string& target, bool& unavailable) {
  FileSource& source = stream.Source();
  os::Identity identity;
  if (!os::ReadIdentity(source.Descriptor(), identity)) {
    unavailable = true;
    return false;
  }
  os::SideFile replacement(os::SideFilePath(target));
  if (!replacement.IsOpen()) {
    unavailable = true;
    return false;
  }
  const int descriptor = replacement.Descriptor();
  const int64_t size = stream.Size();
  bool done = os::Reserve(descriptor, 0, size, true);
  PieceWriter writer(source, stream, descriptor);
  for (auto it = stream.Pieces().begin(); done && it != stream.Pieces().end(); ++it) {
    done = writer.Add(it->first, it->second);
  }
  done = done && writer.Flush() && os::Truncate(descriptor, size);
  if (done && !os::GiveIdentity(descriptor, identity)) {
    unavailable = NotAllowed(errno);
    return false;
  }
  // Checked once more right before the rename: the file must still be
  // what was read.
  done = done && os::Sync(descriptor) &&
         os::Unchanged(source.Descriptor(), source.Path(), source.Facts());
  if (done && !replacement.RenameOver(target)) {
    unavailable = NotAllowed(errno);
    return false;
  }
  return done;
}

}  // namespace

bool Commit(OverlayStream& stream, bool in_place_allowed, const formats::Layout& old) {
  FileSource& source = stream.Source();
  if (source.WriteDescriptor() < 0) return false;
  // Another program may have changed the file since it was read.
  if (!os::Unchanged(source.Descriptor(), source.Path(), source.Facts())) return false;

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

  const std::string target = source.SavedPath();
  if (target.empty()) return false;
  bool unavailable = !MayReplace(source, target);
  if (!unavailable && ReplaceThroughSideFile(stream, target, unavailable)) return true;
  return unavailable && RewriteThroughJournal(stream, target);
}

}  // namespace orvell::save
