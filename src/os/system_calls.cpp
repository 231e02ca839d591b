#include "os/system_calls.h"

#include <linux/fs.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace orvell::os::sys {

int Open(const char* path, int flags) { return ::open(path, flags); }
int OpenNew(const char* path) {
  return ::open(path, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}
int Close(int descriptor) { return ::close(descriptor); }
int Stat(const char* path, struct stat* out) { return ::stat(path, out); }
int Lstat(const char* path, struct stat* out) { return ::lstat(path, out); }
int Fstat(int descriptor, struct stat* out) { return ::fstat(descriptor, out); }
ssize_t Pread(int descriptor, void* out, size_t size, off_t at) {
  return ::pread(descriptor, out, size, at);
}
off_t Lseek(int descriptor, off_t offset, int whence) { return ::lseek(descriptor, offset, whence); }
char* Realpath(const char* path) { return ::realpath(path, nullptr); }
int Fstatvfs(int descriptor, struct statvfs* out) { return ::fstatvfs(descriptor, out); }
int GetFileSizeLimit(struct rlimit* out) { return ::getrlimit(RLIMIT_FSIZE, out); }
int Flock(int descriptor, int operation) { return ::flock(descriptor, operation); }
ssize_t Flistxattr(int descriptor, char* names, size_t size) {
  return ::flistxattr(descriptor, names, size);
}
ssize_t Fgetxattr(int descriptor, const char* name, void* value, size_t size) {
  return ::fgetxattr(descriptor, name, value, size);
}
int GetFlags(int descriptor, int* flags) { return ::ioctl(descriptor, FS_IOC_GETFLAGS, flags); }
int Unlink(const char* path) { return ::unlink(path); }

}  // namespace orvell::os::sys
