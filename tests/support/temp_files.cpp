#include "support/temp_files.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace fs = std::filesystem;

namespace orvell_test {

const std::vector<std::string>& AudioFixtures() {
  static const std::vector<std::string> fixtures = {
      "silence.mp3", "silence.flac", "silence.ogg", "silence.opus",
      "silence.m4a", "silence.wav",  "silence.aiff", "silence.wv",
      "silence.wma", "silence.ape"};
  return fixtures;
}

std::string FixturePath(const std::string& name) {
  return (fs::path(ORVELL_TEST_DATA_DIR) / name).string();
}

std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

TempDir::TempDir() {
  std::string pattern = (fs::temp_directory_path() / "orvell-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  fs::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

std::string TempDir::Copy(const std::string& fixture, const std::string& as_name) const {
  const std::string target = File(as_name.empty() ? fixture : as_name);
  fs::copy_file(FixturePath(fixture), target, fs::copy_options::overwrite_existing);
  return target;
}

}  // namespace orvell_test
