#include "stream/file_source.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace orvell::stream {

namespace {

// TagLib reads a file in pieces of a few bytes to a few kilobytes, seeking
// back and forth, and visits a few places in one call: the start of the
// file, its end, a tag in between. What was read is kept for the whole
// call, up to this many bytes: enough that a save which goes through a
// whole file of a few minutes (TagLib renumbering the pages of an Ogg file
// after its comment grew, then the check of the new content and the copy
// of it) reads it from the disk once. A walk through a longer file (the
// boxes of a fragmented MP4, the junk before the first MPEG frame of a
// damaged file) holds more, and then what was used longest ago makes
// room, so that the memory a call takes stays bounded.
constexpr int64_t kMaxHeld = 16 * 1024 * 1024;
// How far a read that follows on from the last one may reach ahead.
constexpr int64_t kMaxSequel = 256 * 1024;

}  // namespace

FileSource::FileSource(const char* path, Access access) : path_(path), access_(access) {
  // A save that held the lock first may have renamed a new file over the
  // path; a save must work on that one, and follows it for as long as the
  // lock is waited for in all.
  const auto until = std::chrono::steady_clock::now() + os::kLockWait;
  while (true) {
    descriptor_ = os::OpenRegularFile(path, facts_);
    if (descriptor_ < 0) return;
    bool waited = false;
    if (!os::LockFile(descriptor_, access == Access::Write, until, waited)) break;
    const bool settled = access == Access::Read && !waited;
    if (settled || (os::StillNames(path, facts_) && os::Refresh(descriptor_, facts_))) {
      size_ = facts_.size;
      return;
    }
    os::CloseFile(descriptor_);
    descriptor_ = -1;
  }
  os::CloseFile(descriptor_);
  descriptor_ = -1;
}

bool FileSource::Refresh() {
  extents_.clear();
  held_ = 0;
  last_ = 0;
  last_read_end_ = -1;
  last_read_ = 0;
  first_block_used_ = false;
  if (!os::Refresh(descriptor_, facts_)) return false;
  size_ = facts_.size;
  return true;
}

void FileSource::Close() {
  os::CloseFile(descriptor_);
  os::CloseFile(write_descriptor_);
  descriptor_ = -1;
  write_descriptor_ = -1;
  size_ = 0;
}

std::string FileSource::SavedPath() const {
  return facts_.named_through_link ? os::ResolvedPath(path_) : std::string(path_);
}

bool FileSource::LockExclusively() {
  bool waited = false;
  if (access_ == Access::Write) return true;
  const auto until = std::chrono::steady_clock::now() + os::kLockWait;
  if (!os::LockFile(descriptor_, true, until, waited) ||
      (waited && !(os::StillNames(path_, facts_) && os::Refresh(descriptor_, facts_)))) {
    return false;
  }
  access_ = Access::Write;
  return true;
}

FileSource::~FileSource() {
  os::CloseFile(descriptor_);
  os::CloseFile(write_descriptor_);
}

int FileSource::WriteDescriptor() {
  if (write_descriptor_ != -2) return write_descriptor_;
  write_descriptor_ = descriptor_ < 0 ? -1 : os::OpenSameFileForWriting(path_, facts_);
  return write_descriptor_;
}

bool FileSource::Reaches(int64_t position) const {
  return position <= size_ || os::Reaches(descriptor_, position);
}

size_t FileSource::ReadAt(int64_t position, size_t size, char* out) {
  if (descriptor_ < 0 || position < 0 || position >= size_) return 0;
  size = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(size), size_ - position));
  const bool direct = size >= kLongestCachedRead;
  const int64_t end = position + static_cast<int64_t>(size);
  size_t copied = 0;
  while (copied < size) {
    const int64_t at = position + static_cast<int64_t>(copied);
    Extent* extent = Holding(at);
    if (extent == nullptr && direct) {
      // The whole blocks from at on (the last one of the file too), up to
      // what is held, in one read.
      int64_t stop = end == size_ ? end : end / kBlockSize * kBlockSize;
      for (const Extent& e : extents_) {
        if (e.start > at) stop = std::min(stop, e.start);
      }
      if (at % kBlockSize == 0 && stop > at) {
        const size_t wanted = static_cast<size_t>(stop - at);
        const size_t got = os::ReadFully(descriptor_, at, wanted, out + copied);
        copied += got;
        if (got < wanted) break;  // the file ended early, or a read failed
        continue;
      }
    }
    if (extent == nullptr) extent = Load(at, direct ? at + 1 : end);
    if (extent == nullptr) break;  // the file ended early, or a read failed
    extent->used = ++clock_;
    const size_t n = static_cast<size_t>(std::min(end, extent->End()) - at);
    std::memcpy(out + copied, extent->bytes + (at - extent->start), n);
    copied += n;
  }
  return copied;
}

const char* FileSource::Peek(int64_t position, size_t size, size_t& available) {
  available = 0;
  if (descriptor_ < 0 || position < 0 || position >= size_) return nullptr;
  Extent* extent = Holding(position);
  if (extent == nullptr) {
    extent = Load(position, position + static_cast<int64_t>(std::min(size, kLongestCachedRead)));
  }
  if (extent == nullptr) return nullptr;
  extent->used = ++clock_;
  available = static_cast<size_t>(
      std::min<int64_t>(static_cast<int64_t>(size), extent->End() - position));
  return extent->bytes + (position - extent->start);
}

FileSource::Extent* FileSource::Holding(int64_t position) {
  const auto holds = [position](const Extent& e) { return e.start <= position && position < e.End(); };
  if (last_ < extents_.size() && holds(extents_[last_])) return &extents_[last_];
  for (size_t i = 0; i < extents_.size(); ++i) {
    if (holds(extents_[i])) {
      last_ = i;
      return &extents_[i];
    }
  }
  return nullptr;
}

FileSource::Extent* FileSource::Load(int64_t position, int64_t end) {
  int64_t start = position / kBlockSize * kBlockSize;
  int64_t stop = (end + kBlockSize - 1) / kBlockSize * kBlockSize;
  // A read that goes on where the last one ended goes twice as far: TagLib
  // reads a long tag of an Ogg file a page of a few kilobytes at a time.
  if (start == last_read_end_) stop = std::max(stop, start + std::min(2 * last_read_, kMaxSequel));
  stop = std::min(stop, size_);
  // Short of the bytes held on either side (an extent a failed read cut
  // short may end inside a block).
  for (const Extent& e : extents_) {
    if (e.start <= position) start = std::max(start, e.End());
    if (e.start > position) stop = std::min(stop, e.start);
  }
  std::unique_ptr<char[]> owned;
  char* bytes = Allocate(stop - start, owned);
  const size_t got = os::ReadFully(descriptor_, start, static_cast<size_t>(stop - start), bytes);
  if (start + static_cast<int64_t>(got) <= position) {
    if (owned == nullptr) first_block_used_ = false;
    return nullptr;
  }
  last_read_end_ = start + static_cast<int64_t>(got);
  last_read_ = static_cast<int64_t>(got);
  Extent& extent = extents_.emplace_back();
  extent.start = start;
  extent.length = static_cast<int64_t>(got);
  extent.bytes = bytes;
  extent.owned = std::move(owned);
  held_ += extent.length;
  last_ = extents_.size() - 1;
  return &extent;
}

char* FileSource::Allocate(int64_t length, std::unique_ptr<char[]>& owned) {
  while (!extents_.empty() && held_ + length > kMaxHeld) {
    auto oldest = std::min_element(extents_.begin(), extents_.end(),
                                   [](const Extent& a, const Extent& b) { return a.used < b.used; });
    held_ -= oldest->length;
    if (oldest->owned == nullptr) first_block_used_ = false;
    extents_.erase(oldest);
  }
  if (!first_block_used_ && length <= kBlockSize) {
    first_block_used_ = true;
    return first_block_;
  }
  owned.reset(new char[static_cast<size_t>(length)]);
  return owned.get();
}

}  // namespace orvell::stream
