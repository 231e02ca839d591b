// Scratch copies of the committed fixtures. Tests never touch the files in
// tests/data: every test works on a copy in its own temporary directory,
// removed when the test ends.
#ifndef ORVELL_TESTS_SUPPORT_TEMP_FILES_H
#define ORVELL_TESTS_SUPPORT_TEMP_FILES_H

#include <string>
#include <vector>

namespace orvell_test {

// The audio fixtures, one per container format.
const std::vector<std::string>& AudioFixtures();

// Path of a committed fixture (read only).
std::string FixturePath(const std::string& name);

// The bytes of a file; empty when it cannot be read.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // A path inside the directory; nothing is created.
  std::string File(const std::string& name) const;
  // Copies fixture into the directory (under as_name when given) and
  // returns the copy's path.
  std::string Copy(const std::string& fixture, const std::string& as_name = "") const;

 private:
  std::string path_;
};

}  // namespace orvell_test

#endif
