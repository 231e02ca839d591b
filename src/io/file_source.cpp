#include "io/file_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvell::io {

namespace {

// TagLib reads a file in pieces of a few bytes to a few kilobytes, seeking
// back and forth; blocks of kBlockSize serve most files with one read.
// Enough for the places TagLib visits in one call (the start of the file,
// its end, a tag in between) while a walk through a long file stays small.
constexpr size_t kMaxBlocks = 16;
// Reads this long (a large picture, say) go straight to the caller's
// memory instead of through the blocks.
constexpr size_t kDirectRead = 4 * 64 * 1024;

// Never wait on the file, never take it as a controlling terminal.
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// pread until size bytes are in or the file ends; a read error ends it as
// the end of the file would.
size_t ReadFully(int descriptor, int64_t position, size_t size, char* out) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = pread(descriptor, out + done, size - done, static_cast<off_t>(position + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

}  // namespace

FileSource::FileSource(const char* path) : path_(path) {
  // Only a regular file is opened: opening a FIFO waits for a writer, a
  // device may act on being opened, and neither ends like a file.
  struct stat named;
  if (stat(path, &named) != 0 || !S_ISREG(named.st_mode)) return;
  const int descriptor = open(path, O_RDONLY | kOpenFlags);
  if (descriptor < 0) return;
  // The path may have changed between the two looks; what was opened counts.
  struct stat opened;
  if (fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    close(descriptor);
    return;
  }
  descriptor_ = descriptor;
  facts_ = {opened.st_dev, opened.st_ino, opened.st_nlink,
            opened.st_mode, opened.st_uid, opened.st_gid};
  size_ = static_cast<int64_t>(opened.st_size);
}

FileSource::~FileSource() {
  if (descriptor_ >= 0) close(descriptor_);
  if (write_descriptor_ >= 0) close(write_descriptor_);
}

int FileSource::WriteDescriptor() {
  if (write_descriptor_ != -2) return write_descriptor_;
  write_descriptor_ = -1;
  if (descriptor_ < 0) return -1;
  const int descriptor = open(path_.c_str(), O_WRONLY | kOpenFlags);
  if (descriptor < 0) return -1;
  struct stat opened;
  if (fstat(descriptor, &opened) != 0 || opened.st_dev != facts_.device ||
      opened.st_ino != facts_.inode) {
    close(descriptor);
    return -1;
  }
  write_descriptor_ = descriptor;
  return descriptor;
}

bool FileSource::Reaches(int64_t position) const {
  return position <= size_ ||
         (descriptor_ >= 0 && lseek(descriptor_, static_cast<off_t>(position), SEEK_SET) >= 0);
}

size_t FileSource::ReadAt(int64_t position, size_t size, char* out) {
  if (descriptor_ < 0 || position < 0 || position >= size_) return 0;
  size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), size_ - position));
  if (size >= kDirectRead) return ReadFully(descriptor_, position, size, out);
  size_t copied = 0;
  while (copied < size) {
    const int64_t at = position + static_cast<int64_t>(copied);
    const Block& block = Fetch(at / kBlockSize);
    const int64_t offset = at - block.index * kBlockSize;
    if (offset >= block.length) break;  // the file ended early, or a read failed
    const size_t n = std::min(size - copied, static_cast<size_t>(block.length - offset));
    CopyBytes(out + copied, block.bytes + offset, n);
    copied += n;
  }
  return copied;
}

const char* FileSource::Peek(int64_t position, size_t size, size_t& available) {
  available = 0;
  if (descriptor_ < 0 || position < 0 || position >= size_) return nullptr;
  const Block& block = Fetch(position / kBlockSize);
  const int64_t offset = position - block.index * kBlockSize;
  if (offset >= block.length) return nullptr;
  available = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), block.length - offset));
  return block.bytes + offset;
}

const FileSource::Block& FileSource::Fetch(int64_t index) {
  ++clock_;
  for (Block& block : blocks_) {
    if (block.index == index) {
      block.used = clock_;
      return block;
    }
  }
  Block* slot = nullptr;
  if (blocks_.size() < kMaxBlocks) {
    slot = &blocks_.emplace_back();
    if (blocks_.size() == 1) {
      slot->bytes = first_block_;
    } else {
      slot->owned.reset(new char[kBlockSize]);
      slot->bytes = slot->owned.get();
    }
  } else {
    slot = &*std::min_element(blocks_.begin(), blocks_.end(),
                              [](const Block& a, const Block& b) { return a.used < b.used; });
  }
  const int64_t start = index * kBlockSize;
  const size_t wanted = static_cast<size_t>(std::min(kBlockSize, size_ - start));
  slot->index = index;
  slot->used = clock_;
  slot->length = static_cast<int64_t>(ReadFully(descriptor_, start, wanted, slot->bytes));
  return *slot;
}

}  // namespace orvell::io
