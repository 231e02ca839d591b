// The stream TagLib reads and writes a file through. Reads come from the
// file; writes never reach it: they are kept as an overlay in memory, a
// list of pieces that says, for every byte of the new content, whether it
// is a byte of the file (perhaps at another place now), a byte TagLib
// wrote, or a zero. A save checks that content and commits it only then.
#ifndef ORVELL_STREAM_OVERLAY_STREAM_H
#define ORVELL_STREAM_OVERLAY_STREAM_H

#include <cstdint>
#include <map>
#include <string>

#include <taglib/tiostream.h>

#include "seam/taglib_seam.h"
#include "stream/file_source.h"

namespace orvell::stream {

struct Piece {
  enum class Kind : uint8_t { File, Written, Zeros };
  Kind kind = Kind::File;
  int64_t source = 0;  // offset in the file (File) or in the written bytes (Written)
  int64_t length = 0;
};

// The pieces of a content, by the offset where each begins.
using PieceMap = std::map<int64_t, Piece>;

class OverlayStream final : public TagLib::IOStream, public ByteSource {
 public:
  // The file's content, taking TagLib's writes when the file can be opened
  // for writing (TagLib asks before it saves).
  explicit OverlayStream(FileSource& source);
  // A read-only stream over other's content as it is now. other must
  // outlive it and take no more writes.
  struct ViewOf {
    const OverlayStream& other;
  };
  explicit OverlayStream(ViewOf view);

  // TagLib's IOStream, with the semantics of TagLib's own file stream.
  TagLib::FileName name() const override;
  TagLib::ByteVector readBlock(StreamLength length) override;
  void writeBlock(const TagLib::ByteVector& data) override;
  void insert(const TagLib::ByteVector& data, StreamStart start, StreamLength replace) override;
  void removeBlock(StreamStart start, StreamLength length) override;
  bool readOnly() const override;
  bool isOpen() const override { return true; }
  void seek(StreamOffset offset, Position p = Beginning) override;
  void clear() override {}
  StreamOffset tell() const override { return static_cast<StreamOffset>(position_); }
  StreamOffset length() override { return static_cast<StreamOffset>(size_); }
  void truncate(StreamOffset length) override;

  int64_t Size() const override { return size_; }
  size_t ReadAt(int64_t position, size_t size, char* out) override;

  // Once TagLib has written more than bytes in all, further writes are
  // dropped and Overflowed() is true: a save that never ends stops there.
  void LimitWrites(int64_t bytes) { write_limit_ = bytes; }
  bool Overflowed() const { return overflowed_; }
  bool Changed() const { return changed_; }

  const PieceMap& Pieces() const { return pieces_; }
  // Where the byte at position in the file stands in the content now, or
  // -1 when the content no longer holds it.
  int64_t WhereNow(int64_t position) const;
  // Writes bytes over the content at position, as TagLib's writes are
  // taken: after a save, to mend what it left wrong. False when the write
  // was not taken (a read-only stream, or past the limit).
  bool WriteAt(int64_t position, const std::string& bytes);
  // The bytes of a Written piece.
  const char* WrittenBytes(const Piece& piece) const { return written_->data() + piece.source; }
  FileSource& Source() const { return source_; }

 private:
  bool Accepts(size_t bytes);
  // The size bytes at position when they lie together in memory (in one
  // written piece, or in the file's cache within one file piece), else
  // nullptr; valid until the next read.
  const char* Together(int64_t position, size_t size);
  // Puts piece (length 0: nothing) in the place of the removed bytes at
  // at; a start past the end fills the gap with zeros.
  void Splice(int64_t at, int64_t removed, const Piece& piece);
  void Split(int64_t at);
  void Shift(int64_t from, int64_t delta);
  void Coalesce(int64_t at);
  // Keeps data with the bytes TagLib wrote, as a piece to splice in.
  Piece AppendWritten(const TagLib::ByteVector& data);

  FileSource& source_;
  bool view_ = false;
  PieceMap pieces_;
  int64_t size_ = 0;
  int64_t position_ = 0;
  std::string own_written_;
  const std::string* written_ = &own_written_;
  int64_t write_limit_ = INT64_MAX;
  int64_t written_total_ = 0;
  bool overflowed_ = false;
  bool changed_ = false;
};

}  // namespace orvell::stream

#endif
