#include "support/fault_injection.h"

#include <linux/fs.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "os/system_calls.h"

namespace orvell_test {
namespace {

struct State {
  bool armed = false;
  Injector::Mode mode = Injector::Mode::Count;
  int target = 0;
  int calls = 0;
  bool fired = false;
  std::vector<std::string> names;
  std::function<void()> call;
};

State& Current() {
  static State state;
  return state;
}

// True when this call must fail; kills the process when it must die here.
bool Hit(const char* name) {
  State& s = Current();
  if (!s.armed) return false;
  ++s.calls;
  s.names.emplace_back(name);
  if (s.calls != s.target || s.mode == Injector::Mode::Count) return false;
  s.fired = true;
  if (s.mode == Injector::Mode::Kill) raise(SIGKILL);
  if (s.mode == Injector::Mode::Call) {
    s.armed = false;  // what call() writes is not counted
    s.call();
    s.armed = true;
    return false;
  }
  return true;
}

}  // namespace

Injector::Injector(Mode mode, int target, std::function<void()> call) {
  State& s = Current();
  s = State();
  s.mode = mode;
  s.target = target;
  s.call = std::move(call);
  s.armed = true;
}

Injector::~Injector() { Current().armed = false; }

int Injector::calls() const { return Current().calls; }
const std::vector<std::string>& Injector::names() const { return Current().names; }
bool Injector::fired() const { return Current().fired; }

}  // namespace orvell_test

namespace orvell::os::sys {

using orvell_test::Hit;

#define ORVELL_FAIL(name, error) \
  if (Hit(name)) {               \
    errno = (error);             \
    return -1;                   \
  }

ssize_t Pwrite(int descriptor, const void* data, size_t size, off_t at) {
  ORVELL_FAIL("pwrite", size > 1 ? ENOSPC : EIO);
  return ::pwrite(descriptor, data, size, at);
}
int Fallocate(int descriptor, int mode, off_t at, off_t length) {
  ORVELL_FAIL("fallocate", ENOSPC);
  return ::fallocate(descriptor, mode, at, length);
}
int Ftruncate(int descriptor, off_t length) {
  ORVELL_FAIL("ftruncate", EIO);
  return ::ftruncate(descriptor, length);
}
int Fsync(int descriptor) {
  ORVELL_FAIL("fsync", EIO);
  return ::fsync(descriptor);
}
int Fchmod(int descriptor, mode_t mode) {
  ORVELL_FAIL("fchmod", EIO);
  return ::fchmod(descriptor, mode);
}
int Fchown(int descriptor, uid_t owner, gid_t group) {
  ORVELL_FAIL("fchown", EPERM);
  return ::fchown(descriptor, owner, group);
}
int Rename(const char* from, const char* to) {
  ORVELL_FAIL("rename", EIO);
  return ::rename(from, to);
}
ssize_t CopyFileRange(int from, loff_t* from_at, int to, loff_t* to_at, size_t size) {
  ORVELL_FAIL("copy_file_range", ENOSPC);
  return ::copy_file_range(from, from_at, to, to_at, size, 0);
}

int Fsetxattr(int descriptor, const char* name, const void* value, size_t size) {
  ORVELL_FAIL("fsetxattr", ENOSPC);
  return ::fsetxattr(descriptor, name, value, size, 0);
}
int Fremovexattr(int descriptor, const char* name) {
  ORVELL_FAIL("fremovexattr", EIO);
  return ::fremovexattr(descriptor, name);
}
int SetFlags(int descriptor, int flags) {
  ORVELL_FAIL("setflags", EIO);
  return ::ioctl(descriptor, FS_IOC_SETFLAGS, &flags);
}

}  // namespace orvell::os::sys
