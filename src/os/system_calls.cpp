#include "os/system_calls.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace orvell::os::sys {

int Open(const char* path, int flags) { return ::open(path, flags); }
int Close(int descriptor) { return ::close(descriptor); }
int Stat(const char* path, struct stat* out) { return ::stat(path, out); }
int Fstat(int descriptor, struct stat* out) { return ::fstat(descriptor, out); }
ssize_t Pread(int descriptor, void* out, size_t size, off_t at) {
  return ::pread(descriptor, out, size, at);
}
off_t Lseek(int descriptor, off_t offset, int whence) { return ::lseek(descriptor, offset, whence); }
char* Realpath(const char* path) { return ::realpath(path, nullptr); }
int Fstatvfs(int descriptor, struct statvfs* out) { return ::fstatvfs(descriptor, out); }
int GetFileSizeLimit(struct rlimit* out) { return ::getrlimit(RLIMIT_FSIZE, out); }

ssize_t Pwrite(int descriptor, const void* data, size_t size, off_t at) {
  return ::pwrite(descriptor, data, size, at);
}
int Fallocate(int descriptor, int mode, off_t at, off_t length) {
  return ::fallocate(descriptor, mode, at, length);
}
int Ftruncate(int descriptor, off_t length) { return ::ftruncate(descriptor, length); }
int Fsync(int descriptor) { return ::fsync(descriptor); }
int Fchmod(int descriptor, mode_t mode) { return ::fchmod(descriptor, mode); }
int Fchown(int descriptor, uid_t owner, gid_t group) { return ::fchown(descriptor, owner, group); }
int Rename(const char* from, const char* to) { return ::rename(from, to); }
ssize_t CopyFileRange(int from, loff_t* from_at, int to, loff_t* to_at, size_t size) {
  return ::copy_file_range(from, from_at, to, to_at, size, 0);
}
int Mkostemp(char* path_template, int flags) { return ::mkostemp(path_template, flags); }
int Unlink(const char* path) { return ::unlink(path); }

}  // namespace orvell::os::sys
