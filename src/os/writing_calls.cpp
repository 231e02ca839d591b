// The system calls that write: each can fail for want of space or from
// the device, and each is a point at which a crash can stop a save. The
// tests build the library once more with a replacement of this file that
// fails the call they choose, or kills the process there.
#include "os/system_calls.h"

#include <linux/fs.h>
#include <stdio.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace orvell::os::sys {

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
int Fsetxattr(int descriptor, const char* name, const void* value, size_t size) {
  return ::fsetxattr(descriptor, name, value, size, 0);
}
int Fremovexattr(int descriptor, const char* name) { return ::fremovexattr(descriptor, name); }
int SetFlags(int descriptor, int flags) { return ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags); }

}  // namespace orvell::os::sys
