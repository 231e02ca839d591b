#include "os/file.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "os/system_calls.h"
#include "reason/reason.h"

namespace orvell::os {

namespace {

// Never wait on the file, never take it as a controlling terminal.
constexpr int kOpenFlags = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// The most one system call is asked to move.
constexpr int64_t kMaxTransfer = 1 << 30;

// A lock wait's first pause, and how long it is waited for in all.
constexpr auto kFirstPause = std::chrono::milliseconds(1);
constexpr auto kPauseMost = std::chrono::milliseconds(50);

void Take(const struct stat& s, FileFacts& facts) {
  const bool link = facts.named_through_link;
  facts = {s.st_dev, s.st_ino, s.st_nlink, s.st_mode, s.st_uid, s.st_gid,
           static_cast<int64_t>(s.st_size), s.st_ctim, link};
}

bool SameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

// The reason a path that names no regular file is not opened.
std::string NotAFile(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder, not a file";
  if (S_ISFIFO(mode)) return "a FIFO, not a file";
  if (S_ISSOCK(mode)) return "a socket, not a file";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a file";
  return "not a regular file";
}

int OpenRegularFile(const char* path, FileFacts& facts) {
  struct stat named;
  if (sys::Lstat(path, &named) != 0) {
    reason::SayError("", errno);
    return -1;
  }
  facts.named_through_link = S_ISLNK(named.st_mode);
  if (facts.named_through_link && sys::Stat(path, &named) != 0) {
    reason::SayError("a broken symbolic link", errno);
    return -1;
  }
  if (!S_ISREG(named.st_mode)) {
    reason::Say(NotAFile(named.st_mode));
    return -1;
  }
  const int descriptor = sys::Open(path, O_RDONLY | kOpenFlags);
  if (descriptor < 0) {
    reason::SayError("", errno);
    return -1;
  }
  // The path may have changed between the two looks; what was opened counts.
  struct stat opened;
  if (sys::Fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
    sys::Close(descriptor);
    return -1;
  }
  Take(opened, facts);
  return descriptor;
}

bool LockFile(int descriptor, bool exclusive, std::chrono::steady_clock::time_point until,
              bool& waited) {
  const int kind = exclusive ? LOCK_EX : LOCK_SH;
  waited = false;
  auto pause = kFirstPause;
  while (sys::Flock(descriptor, kind | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) return true;  // no such locks here
    if (std::chrono::steady_clock::now() >= until) {
      reason::Say("another call held the file's lock for over a minute");
      return false;
    }
    waited = true;
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, kPauseMost);
  }
  return true;
}

bool Refresh(int descriptor, FileFacts& facts) {
  struct stat now;
  if (sys::Fstat(descriptor, &now) != 0) return false;
  Take(now, facts);
  return true;
}

bool Unchanged(int descriptor, const char* path, const FileFacts& facts) {
  struct stat now;
  if (sys::Fstat(descriptor, &now) == 0 && static_cast<int64_t>(now.st_size) == facts.size &&
      SameTime(now.st_ctim, facts.changed) && StillNames(path, facts)) {
    return true;
  }
  reason::Say("another program changed the file since it was read");
  return false;
}

int OpenSameFileForWriting(const char* path, const FileFacts& facts) {
  const int descriptor = sys::Open(path, O_WRONLY | kOpenFlags);
  if (descriptor < 0) {
    reason::SayError("the file cannot be opened for writing", errno);
    return -1;
  }
  struct stat opened;
  if (sys::Fstat(descriptor, &opened) != 0 || opened.st_dev != facts.device ||
      opened.st_ino != facts.inode) {
    sys::Close(descriptor);
    return -1;
  }
  return descriptor;
}

void CloseFile(int descriptor) {
  if (descriptor >= 0) sys::Close(descriptor);
}

bool StatFacts(const char* path, FileFacts& facts) {
  struct stat now;
  if (sys::Stat(path, &now) != 0) return false;
  Take(now, facts);
  return true;
}

bool StillNames(const char* path, const FileFacts& facts) {
  struct stat now;
  return sys::Stat(path, &now) == 0 && now.st_dev == facts.device && now.st_ino == facts.inode;
}

std::string ResolvedPath(const char* path) {
  std::unique_ptr<char, decltype(&free)> resolved(sys::Realpath(path), &free);
  return resolved ? std::string(resolved.get()) : std::string();
}

size_t ReadFully(int descriptor, int64_t at, size_t size, char* out) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = sys::Pread(descriptor, out + done, size - done, static_cast<off_t>(at + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

bool Reaches(int descriptor, int64_t position) {
  return descriptor >= 0 && sys::Lseek(descriptor, static_cast<off_t>(position), SEEK_SET) >= 0;
}

bool WriteAll(int descriptor, const char* data, int64_t size, int64_t at) {
  while (size > 0) {
    const ssize_t n = sys::Pwrite(descriptor, data, static_cast<size_t>(std::min(size, kMaxTransfer)),
                                  static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      reason::SayError("a write failed", n == 0 ? EIO : errno);
      return false;
    }
    data += n;
    size -= n;
    at += n;
  }
  return true;
}

bool Reserve(int descriptor, int64_t offset, int64_t length, bool extend) {
  if (length <= 0) return true;
  // Past a file-size limit a write fails, or the process is killed.
  struct rlimit limit;
  if (sys::GetFileSizeLimit(&limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      static_cast<uint64_t>(offset + length) > limit.rlim_cur) {
    reason::SayError("no room for the new content", EFBIG);
    return false;
  }
  if (sys::Fallocate(descriptor, extend ? 0 : FALLOC_FL_KEEP_SIZE, static_cast<off_t>(offset),
                     static_cast<off_t>(length)) == 0) {
    return true;
  }
  if (errno != EOPNOTSUPP && errno != ENOSYS && errno != EINVAL) {
    reason::SayError("no room for the new content", errno);
    return false;
  }
  // The file system cannot reserve space; its free space has to do.
  struct statvfs fs;
  if (sys::Fstatvfs(descriptor, &fs) == 0 &&
      static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize > static_cast<uint64_t>(length)) {
    return true;
  }
  reason::SayError("no room for the new content", ENOSPC);
  return false;
}

bool CopyRange(int from, int64_t from_at, int to, int64_t at, int64_t length) {
  loff_t in = from_at;
  loff_t out = at;
  while (length > 0) {
    const ssize_t n =
        sys::CopyFileRange(from, &in, to, &out, static_cast<size_t>(std::min(length, kMaxTransfer)));
    if (n > 0) {
      length -= n;
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL &&
                   errno != EBADF)) {
      reason::SayError("a copy failed", n == 0 ? EIO : errno);
      return false;
    }
    break;  // the kernel cannot copy between these files: copy through memory
  }
  std::vector<char> buffer(static_cast<size_t>(std::min<int64_t>(length, 1 << 20)));
  while (length > 0) {
    const size_t wanted = static_cast<size_t>(std::min<int64_t>(length, buffer.size()));
    const size_t got = ReadFully(from, in, wanted, buffer.data());
    if (got != wanted || !WriteAll(to, buffer.data(), static_cast<int64_t>(got), out)) return false;
    in += static_cast<loff_t>(got);
    out += static_cast<loff_t>(got);
    length -= static_cast<int64_t>(got);
  }
  return true;
}

bool KeepMode(int descriptor, const FileFacts& facts) {
  struct stat now;
  if (sys::Fstat(descriptor, &now) != 0) return false;
  return (now.st_mode & 07777) == (facts.mode & 07777) || SetMode(descriptor, facts.mode & 07777);
}

bool Truncate(int descriptor, int64_t size) {
  if (sys::Ftruncate(descriptor, static_cast<off_t>(size)) == 0) return true;
  reason::SayError("setting the file's size failed", errno);
  return false;
}
bool Sync(int descriptor) {
  if (sys::Fsync(descriptor) == 0) return true;
  reason::SayError("flushing to the disk failed", errno);
  return false;
}
bool SetMode(int descriptor, mode_t mode) { return sys::Fchmod(descriptor, mode) == 0; }
bool SetOwner(int descriptor, uid_t owner, gid_t group) {
  return sys::Fchown(descriptor, owner, group) == 0;
}

}  // namespace orvell::os
