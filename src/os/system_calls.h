// The system calls the library makes on files, each by the name of the C
// function it stands for. All of them pass straight to the C library:
// system_calls.cpp, and writing_calls.cpp for those that write. The
// latter is the seam between the library and the disk: the tests build the
// library once more with a replacement of it that fails, or kills the
// process at, a chosen call, to show that no failure and no crash at any
// write leaves a file damaged.
#ifndef ORVELL_OS_SYSTEM_CALLS_H
#define ORVELL_OS_SYSTEM_CALLS_H

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/types.h>

namespace orvell::os::sys {

// Reading and looking, locking, and the names of the files beside the one
// saved made and removed (system_calls.cpp).
int Open(const char* path, int flags);
// Creates path for reading and writing, readable and writable by its
// owner alone; fails when it exists.
int OpenNew(const char* path);
int Close(int descriptor);
int Stat(const char* path, struct stat* out);
int Lstat(const char* path, struct stat* out);
int Fstat(int descriptor, struct stat* out);
ssize_t Pread(int descriptor, void* out, size_t size, off_t at);
off_t Lseek(int descriptor, off_t offset, int whence);
char* Realpath(const char* path);
int Fstatvfs(int descriptor, struct statvfs* out);
int GetFileSizeLimit(struct rlimit* out);
int Flock(int descriptor, int operation);
ssize_t Flistxattr(int descriptor, char* names, size_t size);
ssize_t Fgetxattr(int descriptor, const char* name, void* value, size_t size);
// The file's inode flags (chattr): FS_IOC_GETFLAGS.
int GetFlags(int descriptor, int* flags);
int Unlink(const char* path);

// Writing (writing_calls.cpp): each of these can fail for want of space or
// from the device, and each is a point at which a crash can stop a save.
ssize_t Pwrite(int descriptor, const void* data, size_t size, off_t at);
int Fallocate(int descriptor, int mode, off_t at, off_t length);
int Ftruncate(int descriptor, off_t length);
int Fsync(int descriptor);
int Fchmod(int descriptor, mode_t mode);
int Fchown(int descriptor, uid_t owner, gid_t group);
int Rename(const char* from, const char* to);
ssize_t CopyFileRange(int from, loff_t* from_at, int to, loff_t* to_at, size_t size);
int Fsetxattr(int descriptor, const char* name, const void* value, size_t size);
int Fremovexattr(int descriptor, const char* name);
// FS_IOC_SETFLAGS.
int SetFlags(int descriptor, int flags);

}  // namespace orvell::os::sys

#endif
