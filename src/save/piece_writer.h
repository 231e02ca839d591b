// Writing the pieces of a new content (the file's own bytes, the bytes
// TagLib wrote, zeros) to a file, in order.
#ifndef ORVELL_SAVE_PIECE_WRITER_H
#define ORVELL_SAVE_PIECE_WRITER_H

#include <cstdint>
#include <memory>

#include "stream/overlay_stream.h"

namespace orvell::save {

// Long runs of the file's own bytes are copied by the kernel (on some file
// systems without copying at all); the rest, the bytes TagLib wrote and
// short runs between them (an Ogg file's pages, say, each with a header
// rewritten), are gathered in memory and written a megabyte at a time
// rather than a call each.
class PieceWriter {
 public:
  // Writes to the file open as to. The file's own bytes come from source;
  // those from moved_from on, when given, from the file open as moved_to at
  // moved_at instead (a journal holding them while the file itself is
  // rewritten).
  PieceWriter(stream::FileSource& source, const stream::OverlayStream& stream, int to);
  void TakeFileBytesFrom(int64_t moved_from, int moved_to, int64_t moved_at);

  // Writes length bytes of piece, from into it on, at at.
  bool Add(int64_t at, const stream::Piece& piece, int64_t into = 0);
  bool Flush();

 private:
  static constexpr int64_t kGathered = 1024 * 1024;

  // The file's own bytes at source: copied to at, or read into out.
  bool CopyFileBytes(int64_t source, int64_t length, int64_t at);
  bool ReadFileBytes(int64_t source, size_t size, char* out);

  stream::FileSource& source_;
  const stream::OverlayStream& stream_;
  const int to_;
  int64_t moved_from_ = INT64_MAX;
  int moved_to_ = -1;
  int64_t moved_at_ = 0;
  // A small content's bytes are gathered on the stack: the heap's first
  // block of a kilobyte or more costs as much as the whole copy.
  char small_[16 * 1024];
  std::unique_ptr<char[]> large_;
  char* buffer_ = small_;
  int64_t capacity_ = sizeof small_;
  int64_t filled_ = 0;
  int64_t gathered_at_ = 0;
};

}  // namespace orvell::save

#endif
