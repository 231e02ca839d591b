#include "save/journal.h"

#include <fcntl.h>

#include <cstring>

#include "os/file.h"
#include "os/side_file.h"
#include "os/system_calls.h"
#include "os/unchecked.h"
#include "save/piece_writer.h"

namespace orvell::save {

namespace {

using stream::FileSource;
using stream::OverlayStream;
using stream::Piece;

// The journal: a header of 64 bytes, then the file's old bytes from the
// first one the rewrite changes to its old end.
//   0  "ORVELL-JOURNAL1\n"
//  16  device and inode of the file, old size, first byte, byte count
//      (64-bit, little-endian)
//  56  1 once the old bytes are all in and flushed, 0 before
constexpr char kMagic[] = "ORVELL-JOURNAL1\n";
constexpr int64_t kHeaderSize = 64;
constexpr int64_t kWholeAt = 56;

struct Header {
  uint64_t device = 0;
  uint64_t inode = 0;
  int64_t old_size = 0;
  int64_t first = 0;
  int64_t length = 0;
  bool whole = false;
};

void Put(char* at, uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<char>(value >> (8 * i));
}

uint64_t Get(const char* at) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | static_cast<unsigned char>(at[i]);
  return value;
}

std::string Encode(const Header& h) {
  std::string bytes(kHeaderSize, '\0');
  std::memcpy(bytes.data(), kMagic, 16);
  Put(&bytes[16], h.device);
  Put(&bytes[24], h.inode);
  Put(&bytes[32], static_cast<uint64_t>(h.old_size));
  Put(&bytes[40], static_cast<uint64_t>(h.first));
  Put(&bytes[48], static_cast<uint64_t>(h.length));
  bytes[kWholeAt] = h.whole ? 1 : 0;
  return bytes;
}

// The header of the journal open as descriptor; false when it holds none
// (a new content left by a replacement, or an empty file).
bool Decode(int descriptor, Header& h) {
  char bytes[kHeaderSize];
  if (os::ReadFully(descriptor, 0, sizeof bytes, bytes) != sizeof bytes ||
      std::memcmp(bytes, kMagic, 16) != 0) {
    return false;
  }
  h.device = Get(bytes + 16);
  h.inode = Get(bytes + 24);
  h.old_size = static_cast<int64_t>(Get(bytes + 32));
  h.first = static_cast<int64_t>(Get(bytes + 40));
  h.length = static_cast<int64_t>(Get(bytes + 48));
  h.whole = bytes[kWholeAt] == 1;
  return true;
}

// The old bytes written back from the journal over the file, its old size
// restored, flushed.
bool WriteBack(int journal, const Header& h, int file) {
  return os::CopyRange(journal, kHeaderSize, file, h.first, h.length) &&
         os::Truncate(file, h.old_size) && os::Sync(file);
}

// Where the content first differs from the file: the first piece that is
// not the file's own byte in its own place, or where either ends.
int64_t FirstChange(const OverlayStream& stream) {
  for (const auto& [at, piece] : stream.Pieces()) {
    if (piece.kind != Piece::Kind::File || piece.source != at) {
      return std::min({at, stream.Size(), stream.Source().Size()});
    }
  }
  return std::min(stream.Size(), stream.Source().Size());
}

// Writes the content from first on over the file, the file's own bytes
// from first on taken from the journal.
bool WriteNewContent(OverlayStream& stream, int64_t first, int journal, int file) {
  FileSource& source = stream.Source();
  const int64_t old_size = source.Size();
  const int64_t new_size = stream.Size();
  if (!os::Reserve(file, old_size, new_size - old_size, false)) return false;
  PieceWriter writer(source, stream, file);
  writer.TakeFileBytesFrom(first, journal, kHeaderSize);
  for (const auto& [at, piece] : stream.Pieces()) {
    if (at + piece.length <= first) continue;
    const int64_t into = std::max<int64_t>(0, first - at);
    if (!writer.Add(at + into, piece, into)) return false;
  }
  return writer.Flush() && (new_size >= old_size || os::Truncate(file, new_size)) &&
         os::Sync(file);
}

}  // namespace

bool RewriteThroughJournal(OverlayStream& stream, const std::string& target) {
  FileSource& source = stream.Source();
  const int file = source.WriteDescriptor();
  os::SideFile journal(os::SideFilePath(target));
  if (file < 0 || !journal.IsOpen()) return false;
  const int j = journal.Descriptor();
  Header h;
  h.device = source.Facts().device;
  h.inode = source.Facts().inode;
  h.old_size = source.Size();
  h.first = FirstChange(stream);
  h.length = h.old_size - h.first;
  const std::string header = Encode(h);
  // The old bytes aside, flushed, then marked whole and flushed again: a
  // journal is written back only once all of it is on the disk.
  const char whole = 1;
  if (!os::Reserve(j, 0, kHeaderSize + h.length, true) ||
      !os::WriteAll(j, header.data(), kHeaderSize, 0) ||
      !os::CopyRange(source.Descriptor(), h.first, j, kHeaderSize, h.length) || !os::Sync(j) ||
      !os::WriteAll(j, &whole, 1, kWholeAt) || !os::Sync(j) ||
      !os::SyncFolder(os::FolderOf(journal.Path()))) {
    return false;  // the file untouched; the journal goes
  }
  // Another program may have changed the file while its old bytes were
  // written aside.
  if (!os::Unchanged(source.Descriptor(), source.Path(), source.Facts())) return false;
  if (WriteNewContent(stream, h.first, j, file)) {
    os::Unchecked(os::KeepMode(file, source.Facts()),
                  "only the owner may set the set-id bits a write by another cleared");
    if (journal.Remove(true)) return true;
  }
  // The file holds old bytes, new bytes, or some of each: the old go back.
  if (WriteBack(j, h, file)) {
    journal.Remove(true);
  } else {
    journal.Keep();
  }
  return false;
}

bool SettleInterruptedSave(FileSource& source) {
  if (!source.IsOpen()) return true;
  const std::string side = os::SideFilePath(source.SavedPath());
  if (!os::SideFileWaits(side)) return true;
  // A save of this file holds its lock alone while its side file exists;
  // once the lock is held alone, the side file is an interrupted save's.
  if (!source.LockExclusively()) {
    source.Close();
    return false;
  }
  const int journal = os::sys::Open(side.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (journal < 0) return true;  // gone, or not this process's to read
  Header h;
  const bool decoded = Decode(journal, h);
  const os::FileFacts& facts = source.Facts();
  const bool ours = decoded && h.whole && h.device == facts.device && h.inode == facts.inode;
  bool settled = true;
  if (!ours) {
    // A new content never renamed, a journal never whole (the file was
    // not touched yet), or another file's: nothing to put back.
    os::RemoveSideFile(side, false);
  } else {
    const int file = source.WriteDescriptor();
    settled = file >= 0 && WriteBack(journal, h, file) && source.Refresh();
    if (settled) os::RemoveSideFile(side, true);
  }
  os::CloseFile(journal);
  if (!settled) source.Close();
  return settled;
}

}  // namespace orvell::save
