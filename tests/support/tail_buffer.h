// Bytes placed at the very end of a heap allocation of exactly their size,
// so that under AddressSanitizer a read one byte past the end is reported
// instead of going unnoticed in a larger buffer.
#ifndef ORVELL_TESTS_SUPPORT_TAIL_BUFFER_H
#define ORVELL_TESTS_SUPPORT_TAIL_BUFFER_H

#include <cstddef>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

namespace orvell_test {

class TailBuffer {
 public:
  // The first size bytes of bytes; size may not exceed bytes.size().
  TailBuffer(const std::string& bytes, size_t size) : memory_(new char[size == 0 ? 1 : size]) {
    if (size > bytes.size()) throw std::logic_error("TailBuffer larger than its bytes");
    std::memcpy(memory_.get(), bytes.data(), size);
  }
  explicit TailBuffer(const std::string& bytes) : TailBuffer(bytes, bytes.size()) {}

  const char* data() const { return memory_.get(); }

 private:
  std::unique_ptr<char[]> memory_;
};

}  // namespace orvell_test

#endif
