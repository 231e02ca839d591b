#include "save/in_place.h"

#include <algorithm>
#include <cstring>

#include "os/file.h"
#include "os/unchecked.h"

namespace orvell::save {

namespace {

using stream::FileSource;
using stream::OverlayStream;
using stream::Piece;
using stream::Span;

bool IsIdentity(int64_t at, const Piece& piece) {
  return piece.kind == Piece::Kind::File && piece.source == at;
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

}  // namespace

bool NothingMoved(const OverlayStream& stream) {
  for (const auto& [at, piece] : stream.Pieces()) {
    if (piece.kind == Piece::Kind::File && !IsIdentity(at, piece)) return false;
  }
  return true;
}

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

bool TouchesAudio(const formats::Layout& old, int64_t offset, int64_t end) {
  for (const Span& span : old.spans) {
    if (offset < span.End() && span.offset < end) return true;
  }
  return false;
}

bool WriteInPlace(FileSource& source, const std::vector<Change>& changes, int64_t new_size) {
  const int descriptor = source.WriteDescriptor();
  const int64_t old_size = source.Size();
  if (descriptor < 0 || !os::Reserve(descriptor, old_size, new_size - old_size, false)) return false;
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
    done = done && os::WriteAll(descriptor, change.bytes, change.length, change.offset);
  }
  if (done && new_size < old_size) done = os::Truncate(descriptor, new_size);
  if (done) {
    os::Unchecked(os::KeepMode(descriptor, source.Facts()),
                  "only the owner may set the set-id bits a write by another cleared");
    return true;
  }
  for (const auto& [offset, old] : saved) {
    os::Unchecked(os::WriteAll(descriptor, old.data(), static_cast<int64_t>(old.size()), offset),
              "the save has failed already: every other old byte still goes back");
  }
  os::Unchecked(os::Truncate(descriptor, old_size),
            "the save has failed already: the old bytes are back, only the size may not be");
  return false;
}

}  // namespace orvell::save
