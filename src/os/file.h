// Files on disk, through the system calls of system_calls.h: opening only
// what can be read like a file, reading and writing whole ranges, room
// reserved before a write, and ranges copied between files. Every
// function reports a failure by its result and never throws.
#ifndef ORVELL_OS_FILE_H
#define ORVELL_OS_FILE_H

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace orvell::os {

// What a file was when it was opened; a save keeps it, and checks that a
// path still names the same file before it acts on it.
struct FileFacts {
  dev_t device = 0;
  ino_t inode = 0;
  nlink_t links = 0;
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
  int64_t size = 0;
};

// Opens path for reading, only when it names a regular file (after
// symbolic links): opening a FIFO waits for a writer, a device may act on
// being opened, and neither ends like a file. Returns the descriptor and
// fills facts, or -1.
int OpenRegularFile(const char* path, FileFacts& facts);

// Opens path for writing, only when it still names the file facts
// describe. Returns the descriptor, or -1 (no permission, a read-only file
// system, or another file at the path by now).
int OpenSameFileForWriting(const char* path, const FileFacts& facts);

void CloseFile(int descriptor);

// Whether path names the file facts describe.
bool StillNames(const char* path, const FileFacts& facts);

// path with every symbolic link followed; empty when it cannot be.
std::string ResolvedPath(const char* path);

// Reads until size bytes are in or the file ends; a read error ends it as
// the end of the file would. Returns the bytes read.
size_t ReadFully(int descriptor, int64_t at, size_t size, char* out);

// Whether the file system can address position in the file.
bool Reaches(int descriptor, int64_t position);

// Writes all size bytes at at, or returns false.
bool WriteAll(int descriptor, const char* data, int64_t size, int64_t at);

// Room for length bytes at offset, taken before anything is written, so
// that no write can fail for want of space. extend: the file's size
// becomes offset + length (for a new file).
bool Reserve(int descriptor, int64_t offset, int64_t length, bool extend);

// Copies length bytes of from at from_at into to at at, in the kernel
// where it can.
bool CopyRange(int from, int64_t from_at, int to, int64_t at, int64_t length);

bool Truncate(int descriptor, int64_t size);
bool Sync(int descriptor);
bool SetMode(int descriptor, mode_t mode);
bool SetOwner(int descriptor, uid_t owner, gid_t group);

}  // namespace orvell::os

#endif
