// Files on disk, through the system calls of system_calls.h: opening only
// what can be read like a file, reading and writing whole ranges, room
// reserved before a write, and ranges copied between files. Every
// function reports a failure by its result and never throws.
#ifndef ORVELL_OS_FILE_H
#define ORVELL_OS_FILE_H

#include <sys/types.h>

#include <chrono>
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
  // Moved by any change to the bytes or the attributes.
  struct timespec changed = {};
  // The path's last part is a symbolic link.
  bool named_through_link = false;
};

// Opens path for reading, only when it names a regular file (after
// symbolic links): opening a FIFO waits for a writer, a device may act on
// being opened, and neither ends like a file. Returns the descriptor and
// fills facts, or -1.
int OpenRegularFile(const char* path, FileFacts& facts);

// How long a call waits, in all, for a file's lock.
constexpr std::chrono::seconds kLockWait{60};

// Takes the advisory lock on the open file: shared to read it, exclusive
// to save it. Every call of the library on a file takes it, so saves of one
// file by several processes or threads follow each other, and no call
// reads a file while a save is rewriting it in place. Not held by then
// (steady clock), it is waited for no longer: false. A file system without
// such locks is not locked, and true returned. waited is set when another
// held the lock first.
bool LockFile(int descriptor, bool exclusive, std::chrono::steady_clock::time_point until,
              bool& waited);

// Facts read again from the open file (its size and change time may have
// moved while its lock was waited for).
bool Refresh(int descriptor, FileFacts& facts);

// Whether the open file and path are still what facts say they were: the
// same file at path, of the same size, changed at the same time. A save
// checks it right before it commits, so that it never writes over what
// another program changed since the file was read.
bool Unchanged(int descriptor, const char* path, const FileFacts& facts);

// Opens path for writing, only when it still names the file facts
// describe. Returns the descriptor, or -1 (no permission, a read-only file
// system, or another file at the path by now).
int OpenSameFileForWriting(const char* path, const FileFacts& facts);

void CloseFile(int descriptor);

// The facts of what path names (after symbolic links), or false.
bool StatFacts(const char* path, FileFacts& facts);

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

// The kernel clears a file's set-id bits when a process without the
// right to keep them writes it; the file's owner may set them again. True
// when the file's mode is facts' (again), false when it could not be.
bool KeepMode(int descriptor, const FileFacts& facts);

bool Truncate(int descriptor, int64_t size);
bool Sync(int descriptor);
bool SetMode(int descriptor, mode_t mode);
bool SetOwner(int descriptor, uid_t owner, gid_t group);

}  // namespace orvell::os

#endif
