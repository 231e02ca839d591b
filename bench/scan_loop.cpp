// orvell_scan_loop DIR: the walk of orvell scan done by the plainest host,
// one thread calling OV_ReadTags once per regular file, in sorted path
// order. Prints the files read and the rate on standard error, as orvell
// scan prints its summary: the baseline for the scan.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "orvell.h"

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc != 2) {
    std::fprintf(stderr, "usage: orvell_scan_loop DIR\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(argv[1], ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file(ec)) files.push_back(it->path().string());
  }
  if (ec) {
    std::fprintf(stderr, "orvell_scan_loop: %s: %s\n", argv[1], ec.message().c_str());
    return 1;
  }
  std::sort(files.begin(), files.end());

  std::vector<char> buffer(16 * 1024);
  size_t read = 0;
  size_t failed = 0;
  for (const std::string& file : files) {
    const int32_t n =
        OV_ReadTags(file.c_str(), buffer.data(), static_cast<int32_t>(buffer.size()));
    ++(n > 0 ? read : failed);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::fprintf(stderr, "orvell_scan_loop: files read %zu, failed %zu, elapsed %.3f s, %.0f files/s\n",
               read, failed, seconds, static_cast<double>(files.size()) / seconds);
  return failed == 0 ? 0 : 1;
}
