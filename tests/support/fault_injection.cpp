#include "support/fault_injection.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace orvell_test {
namespace {

struct State {
  bool armed = false;
  Injector::Mode mode = Injector::Mode::Count;
  int target = 0;
  int calls = 0;
  bool fired = false;
  std::vector<std::string> names;
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
  return true;
}

template <typename Fn>
Fn Real(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "fault injection: no %s in the C library\n", name);
    std::abort();
  }
  return reinterpret_cast<Fn>(symbol);
}

}  // namespace

Injector::Injector(Mode mode, int target) {
  State& s = Current();
  s = State();
  s.mode = mode;
  s.target = target;
  s.armed = true;
}

Injector::~Injector() { Current().armed = false; }

int Injector::calls() const { return Current().calls; }
const std::vector<std::string>& Injector::names() const { return Current().names; }
bool Injector::fired() const { return Current().fired; }

}  // namespace orvell_test

using orvell_test::Hit;
using orvell_test::Real;

#define ORVELL_FAIL(name, error) \
  if (Hit(name)) {               \
    errno = (error);             \
    return -1;                   \
  }

extern "C" {

ssize_t pwrite(int fd, const void* buffer, size_t size, off_t offset) {
  ORVELL_FAIL("pwrite", size > 1 ? ENOSPC : EIO);
  static const auto real = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite");
  return real(fd, buffer, size, offset);
}
ssize_t pwrite64(int fd, const void* buffer, size_t size, off_t offset) {
  ORVELL_FAIL("pwrite", ENOSPC);
  static const auto real = Real<ssize_t (*)(int, const void*, size_t, off_t)>("pwrite64");
  return real(fd, buffer, size, offset);
}
int fallocate(int fd, int mode, off_t offset, off_t length) {
  ORVELL_FAIL("fallocate", ENOSPC);
  static const auto real = Real<int (*)(int, int, off_t, off_t)>("fallocate");
  return real(fd, mode, offset, length);
}
int fallocate64(int fd, int mode, off_t offset, off_t length) {
  ORVELL_FAIL("fallocate", ENOSPC);
  static const auto real = Real<int (*)(int, int, off_t, off_t)>("fallocate64");
  return real(fd, mode, offset, length);
}
int ftruncate(int fd, off_t length) {
  ORVELL_FAIL("ftruncate", EIO);
  static const auto real = Real<int (*)(int, off_t)>("ftruncate");
  return real(fd, length);
}
int ftruncate64(int fd, off_t length) {
  ORVELL_FAIL("ftruncate", EIO);
  static const auto real = Real<int (*)(int, off_t)>("ftruncate64");
  return real(fd, length);
}
int fsync(int fd) {
  ORVELL_FAIL("fsync", EIO);
  static const auto real = Real<int (*)(int)>("fsync");
  return real(fd);
}
int fdatasync(int fd) {
  ORVELL_FAIL("fdatasync", EIO);
  static const auto real = Real<int (*)(int)>("fdatasync");
  return real(fd);
}
int fchmod(int fd, mode_t mode) {
  ORVELL_FAIL("fchmod", EIO);
  static const auto real = Real<int (*)(int, mode_t)>("fchmod");
  return real(fd, mode);
}
int fchown(int fd, uid_t owner, gid_t group) {
  ORVELL_FAIL("fchown", EPERM);
  static const auto real = Real<int (*)(int, uid_t, gid_t)>("fchown");
  return real(fd, owner, group);
}
int rename(const char* from, const char* to) {
  ORVELL_FAIL("rename", EIO);
  static const auto real = Real<int (*)(const char*, const char*)>("rename");
  return real(from, to);
}
ssize_t copy_file_range(int in, loff_t* in_offset, int out, loff_t* out_offset, size_t size,
                        unsigned int flags) {
  ORVELL_FAIL("copy_file_range", ENOSPC);
  static const auto real =
      Real<ssize_t (*)(int, loff_t*, int, loff_t*, size_t, unsigned int)>("copy_file_range");
  return real(in, in_offset, out, out_offset, size, flags);
}

}  // extern "C"
