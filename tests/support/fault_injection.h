// Failures injected into the writes of a save. This file takes the place
// of the library's os/writing_calls.cpp in a build of the library made for
// these tests (liborvell_faulty.so): it defines the same calls, and each
// writing call (pwrite, fallocate, ftruncate, fsync, fchmod, fchown,
// rename, copy_file_range) passes on to the C library unless the injector
// is armed and the call is the one chosen: then it fails with an error
// instead, or the process is killed there, as by a power cut or SIGKILL.
//
//   orvell_test::Injector injector(orvell_test::Injector::Mode::Count);
//   OV_SetComment(path, "...");             // injector.calls() writes seen
//   orvell_test::Injector fail(orvell_test::Injector::Mode::Fail, 3);
//   OV_SetComment(path, "...");             // the third write fails
//
// One injector at a time, on one thread.
#ifndef ORVELL_TESTS_SUPPORT_FAULT_INJECTION_H
#define ORVELL_TESTS_SUPPORT_FAULT_INJECTION_H

#include <functional>
#include <string>
#include <vector>

namespace orvell_test {

class __attribute__((visibility("default"))) Injector {
 public:
  enum class Mode {
    Count,  // let every call through, count them
    Fail,   // the target-th call fails (ENOSPC where space is asked for, EIO elsewhere)
    Kill,   // the process is killed with SIGKILL just before the target-th call
    Call,   // call() runs just before the target-th call, which then goes on
  };
  explicit Injector(Mode mode, int target = 0, std::function<void()> call = nullptr);
  ~Injector();
  Injector(const Injector&) = delete;
  Injector& operator=(const Injector&) = delete;

  int calls() const;                         // calls seen while armed
  const std::vector<std::string>& names() const;  // their function names, in order
  bool fired() const;                        // the target call was reached
};

}  // namespace orvell_test

#endif
