#include "save/audio_compare.h"

#include <algorithm>
#include <string>

namespace orvell::save {

namespace {

using formats::Layout;
using formats::Run;
using stream::FileSource;
using stream::OverlayStream;
using stream::Piece;
using stream::PieceMap;
using stream::Span;

// Whether the length bytes at after_at in after are the bytes at before_at
// in before. Bytes that are the file's own, not moved in between, are the
// same without being read.
bool SameBytes(OverlayStream& after, int64_t after_at, FileSource& before, int64_t before_at,
               int64_t length) {
  const PieceMap& pieces = after.Pieces();
  std::string a;
  std::string b;
  while (length > 0) {
    auto it = pieces.upper_bound(after_at);
    if (it == pieces.begin()) return false;
    --it;
    const Piece& piece = it->second;
    const int64_t into = after_at - it->first;
    if (into >= piece.length) return false;
    const int64_t n = std::min(length, piece.length - into);
    const bool untouched = piece.kind == Piece::Kind::File && piece.source + into == before_at;
    for (int64_t done = 0; !untouched && done < n;) {
      const size_t chunk = static_cast<size_t>(std::min<int64_t>(n - done, 64 * 1024));
      a.resize(chunk);
      b.resize(chunk);
      if (after.ReadAt(after_at + done, chunk, a.data()) != chunk ||
          before.ReadAt(before_at + done, chunk, b.data()) != chunk || a != b) {
        return false;
      }
      done += static_cast<int64_t>(chunk);
    }
    after_at += n;
    before_at += n;
    length -= n;
  }
  return true;
}

// Whether the run x of the new content (its spans at xs) holds the bytes
// of the run y of the file (at ys).
bool SameRun(OverlayStream& after, const Run& x, const Span* xs, FileSource& before, const Run& y,
             const Span* ys) {
  if (x.length != y.length || x.complete != y.complete) return false;
  size_t i = 0;
  size_t j = 0;
  int64_t into_x = 0;
  int64_t into_y = 0;
  while (i < x.count && j < y.count) {
    const int64_t n = std::min(xs[i].length - into_x, ys[j].length - into_y);
    if (!SameBytes(after, xs[i].offset + into_x, before, ys[j].offset + into_y, n)) return false;
    into_x += n;
    into_y += n;
    if (into_x == xs[i].length) ++i, into_x = 0;
    if (into_y == ys[j].length) ++j, into_y = 0;
  }
  return true;
}

}  // namespace

int64_t SharedEnd(const OverlayStream& after, int64_t before_size) {
  const PieceMap& pieces = after.Pieces();
  int64_t tail = 0;
  int64_t expected_end = before_size;
  int64_t shift = 0;
  for (auto it = pieces.rbegin(); it != pieces.rend(); ++it) {
    const Piece& piece = it->second;
    if (piece.kind != Piece::Kind::File || piece.source + piece.length != expected_end) break;
    if (tail == 0) shift = it->first - piece.source;
    if (it->first - piece.source != shift) break;
    tail += piece.length;
    expected_end = piece.source;
  }
  return tail;
}

bool SameAudio(OverlayStream& after, const Layout& now, FileSource& before, const Layout& old) {
  if (now.audio.size() != old.audio.size() || now.pointers.size() != old.pointers.size() ||
      now.granules != old.granules || (old.sized && !now.sized)) {
    return false;
  }
  for (size_t i = 0; i < now.audio.size(); ++i) {
    const Run& x = now.audio[i];
    const Run& y = old.audio[i];
    if (!SameRun(after, x, now.SpansOf(x), before, y, old.SpansOf(y))) return false;
  }
  for (size_t i = 0; i < now.pointers.size(); ++i) {
    if (now.pointers[i] != after.WhereNow(old.pointers[i])) return false;
  }
  return true;
}

}  // namespace orvell::save
