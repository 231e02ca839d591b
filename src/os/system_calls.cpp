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

int Mkostemp(char* path_template, int flags) { return ::mkostemp(path_template, flags); }
int Unlink(const char* path) { return ::unlink(path); }

}  // namespace orvell::os::sys
