// The file a call works on, as the disk holds it: opened by Orvell itself,
// only when the path names a regular file, and read through a cache of the
// bytes already read, so that TagLib's many small reads and seeks cost a
// few system calls and no byte is read from the disk twice.
#ifndef ORVELL_STREAM_FILE_SOURCE_H
#define ORVELL_STREAM_FILE_SOURCE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "os/file.h"
#include "stream/byte_source.h"

namespace orvell::stream {

// What a call will do with a file: read it, or save it too.
enum class Access { Read, Write };

class FileSource final : public ByteSource {
 public:
  // Opens path. A path that names anything but a regular file (after
  // symbolic links), such as a FIFO, a socket, a device or a directory, is
  // never opened, so a call can neither block on it nor set off what
  // opening a device does. The file is opened for reading, and locked,
  // shared to read, exclusive to save, for as long as the source lives
  // (os/file.h); a save opens it for writing too (WriteDescriptor). A
  // save, and a call that waited for the lock, works on the file the path
  // names once the lock is held. path must outlive the source.
  FileSource(const char* path, Access access);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  bool IsOpen() const { return descriptor_ >= 0; }
  const char* Path() const { return path_; }
  int Descriptor() const { return descriptor_; }
  // The same file opened for writing, opened on first use; -1 when it
  // cannot be (no permission, a read-only file system) or the path no
  // longer names the file that was read.
  int WriteDescriptor();
  const os::FileFacts& Facts() const { return facts_; }
  // The path of the file as a save writes it: path, or where its last
  // part, a symbolic link, leads.
  std::string SavedPath() const;
  // Takes the file's lock exclusively, if it is held shared.
  bool LockExclusively();
  // Reads the file's facts again and forgets the bytes read, after the
  // file was written to; false when it cannot be looked at.
  bool Refresh();
  // Closes the file, which then reads as one that did not open.
  void Close();

  int64_t Size() const override { return size_; }
  size_t ReadAt(int64_t position, size_t size, char* out) override;
  // The bytes from position on, at most size of them, as far as they lie
  // together in the cache (reading them in when they are not held yet),
  // without a copy; valid until the next read. Their count is left in
  // available (0 past the end).
  const char* Peek(int64_t position, size_t size, size_t& available);
  // Whether the file system can address position (it can for any position
  // up to the end of the file).
  bool Reaches(int64_t position) const;

 // Reads this long (a large picture, say) go straight to the caller's
  // memory instead of through the cache, but for the bytes already held
  // and the blocks the read begins and ends in.
  static constexpr size_t kLongestCachedRead = 256 * 1024;

 private:
  // The file is read in whole blocks of this size (the last one cut at the
  // end of the file), so that the next small read usually finds its bytes
  // already in.
  static constexpr int64_t kBlockSize = 16 * 1024;
  // Bytes read in one go: whole blocks, one after another.
  struct Extent {
    int64_t start = 0;
    int64_t length = 0;  // bytes read into it
    uint64_t used = 0;   // when it was last asked for, for eviction
    char* bytes = nullptr;
    std::unique_ptr<char[]> owned;  // bytes, unless they are first_block_
    int64_t End() const { return start + length; }
  };
  // The extent holding position, or null.
  Extent* Holding(int64_t position);
  // Reads the blocks from the one position lies in up to the one end - 1
  // lies in, short of any bytes already held, in one read; returns the
  // extent holding position, or null when the file ended or a read failed
  // before it.
  Extent* Load(int64_t position, int64_t end);
  // Makes room for an extent of length bytes and returns its memory.
  char* Allocate(int64_t length, std::unique_ptr<char[]>& owned);

  const char* path_;
  Access access_;
  int descriptor_ = -1;
  int write_descriptor_ = -2;  // -2: not tried yet
  os::FileFacts facts_;
  int64_t size_ = 0;
  std::vector<Extent> extents_;
  int64_t held_ = 0;  // bytes in extents_
  uint64_t clock_ = 0;
  size_t last_ = 0;  // the extent asked for last: most reads follow on in it
  int64_t last_read_end_ = -1;  // where the last read from the disk ended
  int64_t last_read_ = 0;       // and how many bytes it read
  bool first_block_used_ = false;
  // Most files are read in one block: it lives here, in the call's own
  // memory, where a heap allocation of its size would cost as much as a
  // good part of the read.
  char first_block_[kBlockSize];
};

}  // namespace orvell::stream

#endif
