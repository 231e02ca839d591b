#include "io/commit.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace orvell::io {

namespace {

// A rewrite in place keeps the old bytes from the first change onwards in
// memory, and the new ones; beyond this it is refused rather than risked.
constexpr int64_t kInPlaceRewriteMax = 64 * 1024 * 1024;

bool WriteAll(int descriptor, const char* data, int64_t size, int64_t at) {
  while (size > 0) {
    const ssize_t n = pwrite(descriptor, data, static_cast<size_t>(std::min<int64_t>(size, 1 << 30)),
                             static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= n;
    at += n;
  }
  return true;
}

// Room for length bytes at offset, taken before anything is written, so
// that no write can fail for want of space. extend: the file's size
// becomes offset + length (for a new file).
bool Reserve(int descriptor, int64_t offset, int64_t length, bool extend) {
  if (length <= 0) return true;
  // Past a file-size limit a write fails, or the process is killed.
  struct rlimit limit;
  if (getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<uint64_t>(offset + length) > limit.rlim_cur) {
    return false;
  }
  if (fallocate(descriptor, extend ? 0 : FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                static_cast<off_t>(length)) == 0) {
    return true;
  }
  if (errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) return false;
  // The file system cannot reserve space; its free space has to do.
  struct statvfs fs;
  return fstatvfs(descriptor, &fs) == 0 &&
         static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize > static_cast<uint64_t>(length);
}

// Copies length bytes of the file at from into to at at.
bool CopyRange(int from, int64_t from_at, int to, int64_t at, int64_t length) {
  loff_t in = from_at;
  loff_t out = at;
  while (length > 0) {
    const ssize_t n = copy_file_range(from, &in, to, &out,
                                      static_cast<size_t>(std::min<int64_t>(length, 1 << 30)), 0);
    if (n > 0) {
      length -= n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL &&
                   errno != EBADF)) {
      return false;
    }
    break;  // the kernel cannot copy between these files: copy through memory
  }
  std::vector<char> buffer(static_cast<size_t>(std::min<int64_t>(length, 1 << 20)));
  while (length > 0) {
    const ssize_t n = pread(from, buffer.data(),
                            static_cast<size_t>(std::min<int64_t>(length, buffer.size())), in);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || !WriteAll(to, buffer.data(), n, out)) return false;
    in += n;
    out += n;
    length -= n;
  }
  return true;
}

bool IsIdentity(int64_t at, const Piece& piece) {
  return piece.kind == Piece::Kind::File && piece.source == at;
}

// Whether [offset, end) meets any of the audio runs.
bool TouchesAudio(const AudioMap& audio, int64_t offset, int64_t end) {
  for (const Run& run : audio.runs) {
    for (const Span& span : run.spans) {
      if (offset < span.End() && span.offset < end) return true;
    }
  }
  return false;
}

// How many of the length bytes at at in the file and in bytes are the
// same, from their start; -1 when the file cannot be read. Compared in
// place in the file's blocks, in runs and then byte by byte.
int64_t SamePrefix(FileSource& source, int64_t at, const char* bytes, int64_t length) {
  constexpr size_t kRun = 64;
  int64_t n = 0;
  while (n < length) {
    size_t available = 0;
    const char* old = source.Peek(at + n, static_cast<size_t>(length - n), available);
    if (old == nullptr) return -1;
    size_t i = 0;
    while (i + kRun <= available && std::memcmp(old + i, bytes + n + i, kRun) == 0) i += kRun;
    while (i < available && old[i] == bytes[n + i]) ++i;
    n += static_cast<int64_t>(i);
    if (i < available) break;
  }
  return n;
}

// The same from their end, looking no further back than from.
int64_t SameSuffix(FileSource& source, int64_t at, const char* bytes, int64_t from, int64_t length) {
  int64_t n = 0;
  while (length - n > from) {
    // A byte at a time from the end is enough: TagLib rewrites whole tags,
    // whose ends rarely match for long.
    size_t available = 0;
    const char* old = source.Peek(at + length - n - 1, 1, available);
    if (old == nullptr || *old != bytes[length - n - 1]) break;
    ++n;
  }
  return n;
}

struct Change {
  int64_t offset;
  const char* bytes;  // the new bytes
  int64_t length;
};

// Whether every byte of the file that is in the new content is where it
// was: then only what TagLib wrote needs writing.
bool NothingMoved(const OverlayStream& stream) {
  for (const auto& [at, piece] : stream.Pieces()) {
    if (piece.kind == Piece::Kind::File && !IsIdentity(at, piece)) return false;
  }
  return true;
}

// The bytes of the new content that differ from the file at the same
// place, when nothing of the file moved. What lies past the end of the
// file is one change, so that the file grows by one write; its bytes are
// kept in tail.
std::optional<std::vector<Change>> ChangesInPlace(OverlayStream& stream, std::string& tail) {
  FileSource& source = stream.Source();
  const int64_t end = source.Size();
  std::vector<Change> changes;
  std::string zeros;
  // tail never moves once changes point into it.
  size_t room = static_cast<size_t>(std::max<int64_t>(0, stream.Size() - end));
  for (const auto& [at, piece] : stream.Pieces()) {
    if (piece.kind == Piece::Kind::Zeros && at < end) room += static_cast<size_t>(piece.length);
  }
  tail.reserve(room);
  for (const auto& [at, piece] : stream.Pieces()) {
    if (piece.kind == Piece::Kind::File || at >= end) continue;
    const int64_t length = std::min(piece.length, end - at);
    if (piece.kind == Piece::Kind::Zeros) zeros.assign(static_cast<size_t>(length), '\0');
    const char* bytes = piece.kind == Piece::Kind::Written ? stream.WrittenBytes(piece) : zeros.data();
    // Leave out what TagLib wrote over the file with the bytes it held.
    const int64_t first = SamePrefix(source, at, bytes, length);
    if (first < 0) return std::nullopt;
    const int64_t last = length - SameSuffix(source, at, bytes, first, length);
    if (first < last) {
      // A run of zeros is rare and short: its bytes are kept with the tail.
      const char* kept = bytes + first;
      if (piece.kind == Piece::Kind::Zeros) {
        tail.append(static_cast<size_t>(last - first), '\0');
        kept = nullptr;
      }
      changes.push_back({at + first, kept, last - first});
    }
  }
  size_t zero_at = 0;
  for (Change& change : changes) {
    if (change.bytes == nullptr) {
      change.bytes = tail.data() + zero_at;
      zero_at += static_cast<size_t>(change.length);
    }
  }
  if (stream.Size() > end) {
    const size_t start = tail.size();
    tail.resize(start + static_cast<size_t>(stream.Size() - end));
    if (stream.ReadAt(end, tail.size() - start, tail.data() + start) != tail.size() - start) {
      return std::nullopt;
    }
    changes.push_back({end, nullptr, stream.Size() - end});
    for (Change& change : changes) {
      if (change.bytes == nullptr) change.bytes = tail.data() + start;
    }
  }
  return changes;
}

// Writes changes over the file, and its new size; on a failure, writes
// back what they replaced.
bool WriteInPlace(FileSource& source, const std::vector<Change>& changes, int64_t new_size) {
  const int descriptor = source.WriteDescriptor();
  const int64_t old_size = source.Size();
  if (descriptor < 0 || !Reserve(descriptor, old_size, new_size - old_size, false)) return false;
  // What the changes write over, to be written back if a write fails.
  std::vector<std::pair<int64_t, std::string>> saved;
  for (const Change& change : changes) {
    const int64_t overlap = std::max<int64_t>(0, std::min(change.length, old_size - change.offset));
    std::string old(static_cast<size_t>(overlap), '\0');
    if (source.ReadAt(change.offset, old.size(), old.data()) != old.size()) return false;
    saved.emplace_back(change.offset, std::move(old));
  }
  bool done = true;
  for (const Change& change : changes) {
    done = done && WriteAll(descriptor, change.bytes, change.length, change.offset);
  }
  if (done && new_size < old_size) done = ftruncate(descriptor, static_cast<off_t>(new_size)) == 0;
  if (done) return true;
  for (const auto& [offset, old] : saved) {
    WriteAll(descriptor, old.data(), static_cast<int64_t>(old.size()), offset);
  }
  if (ftruncate(descriptor, static_cast<off_t>(old_size)) != 0) {
    // Nothing more can be done; the bytes are back, the size may not be.
  }
  return false;
}

// The whole content from the first byte that changed, written over the
// file in place, the old bytes written back on a failure.
bool RewriteInPlace(OverlayStream& stream) {
  FileSource& source = stream.Source();
  int64_t first = stream.Size();
  for (const auto& [at, piece] : stream.Pieces()) {
    if (!IsIdentity(at, piece)) {
      first = at;
      break;
    }
  }
  const int64_t old_size = source.Size();
  const int64_t new_size = stream.Size();
  first = std::min({first, old_size, new_size});
  if (std::max(new_size, old_size) - first > kInPlaceRewriteMax) return false;
  std::string fresh(static_cast<size_t>(new_size - first), '\0');
  std::string old(static_cast<size_t>(old_size - first), '\0');
  if (stream.ReadAt(first, fresh.size(), fresh.data()) != fresh.size() ||
      source.ReadAt(first, old.size(), old.data()) != old.size()) {
    return false;
  }
  return WriteInPlace(source, {Change{first, fresh.data(), static_cast<int64_t>(fresh.size())}},
                      new_size);
}

// Writes the content to a new file in the folder of target and renames it
// over target. false with nothing left behind when anything fails;
// unavailable is set when no temporary file could be made at all.
// A new file beside another, removed again unless it was renamed over it,
// whatever ends the save.
class Temporary {
 public:
  Temporary(const std::string& folder, const std::string& name)
      : path_(folder + "/." + name.substr(0, 200) + ".orvell-XXXXXX"),
        descriptor_(mkostemp(path_.data(), O_CLOEXEC)) {}
  ~Temporary() {
    if (descriptor_ >= 0) close(descriptor_);
    if (descriptor_ >= 0 && !renamed_) unlink(path_.c_str());
  }
  Temporary(const Temporary&) = delete;
  Temporary& operator=(const Temporary&) = delete;

  int Descriptor() const { return descriptor_; }
  bool RenameOver(const std::string& target) {
    renamed_ = rename(path_.c_str(), target.c_str()) == 0;
    return renamed_;
  }

 private:
  std::string path_;
  int descriptor_;
  bool renamed_ = false;
};

bool Replace(OverlayStream& stream, const std::string& target, bool& unavailable) {
  FileSource& source = stream.Source();
  const size_t slash = target.rfind('/');
  const std::string folder = target.substr(0, slash);
  Temporary temporary(folder, target.substr(slash + 1));
  const int descriptor = temporary.Descriptor();
  if (descriptor < 0) {
    unavailable = true;
    return false;
  }
  const FileFacts& facts = source.Facts();
  const int64_t size = stream.Size();
  bool done = Reserve(descriptor, 0, size, true);
  for (auto it = stream.Pieces().begin(); done && it != stream.Pieces().end(); ++it) {
    const Piece& piece = it->second;
    if (piece.kind == Piece::Kind::File) {
      done = CopyRange(source.Descriptor(), piece.source, descriptor, it->first, piece.length);
    } else if (piece.kind == Piece::Kind::Written) {
      done = WriteAll(descriptor, stream.WrittenBytes(piece), piece.length, it->first);
    }
  }
  done = done && ftruncate(descriptor, static_cast<off_t>(size)) == 0;
  if (done && fchown(descriptor, facts.owner, facts.group) != 0) {
    // Only the owner's own group, or nothing, may be set without privilege;
    // the file then belongs to whoever saves it.
  }
  done = done && fchmod(descriptor, facts.mode & 07777) == 0;
  done = done && fsync(descriptor) == 0;
  // The path must still name the file that was read.
  struct stat now;
  done = done && stat(target.c_str(), &now) == 0 && now.st_dev == facts.device &&
         now.st_ino == facts.inode;
  if (!done || !temporary.RenameOver(target)) return false;
  // Make the rename itself last; the file is whole either way.
  const int directory = open(folder.empty() ? "/" : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (directory >= 0) {
    if (fsync(directory) != 0) {
      // The new content is in place; only its surviving a power cut is in doubt.
    }
    close(directory);
  }
  return true;
}

}  // namespace

bool Commit(OverlayStream& stream, Container container, const std::optional<AudioMap>& old) {
  FileSource& source = stream.Source();
  if (source.WriteDescriptor() < 0) return false;

  // Tag bytes that change where they are, away from the audio, are written
  // in place. Ogg pages hold a checksum of everything on them, so any
  // change to one is made whole or not at all.
  if (old && container != Container::Ogg && container != Container::OggFlac &&
      NothingMoved(stream)) {
    std::string tail;
    if (const auto changes = ChangesInPlace(stream, tail)) {
      bool away = !TouchesAudio(*old, stream.Size(), source.Size());
      for (const Change& change : *changes) {
        away = away && !TouchesAudio(*old, change.offset, change.offset + change.length);
      }
      if (away) return WriteInPlace(source, *changes, stream.Size());
    }
  }

  std::unique_ptr<char, decltype(&free)> resolved(realpath(source.Path(), nullptr), &free);
  if (!resolved) return false;
  bool unavailable = source.Facts().links > 1;
  if (!unavailable && Replace(stream, resolved.get(), unavailable)) return true;
  return unavailable && RewriteInPlace(stream);
}

}  // namespace orvell::io
